// What a dialog needs of the module that shows it: the module's resources and texts, where its
// settings are kept, and the host's answers about the image the dialog runs over. The plug-in's
// module object provides them; a dialog receives them when it is created.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32.h"
#include "settings/localized_text.h"
#include "transform/pixel.h"

class DialogModule {
   public:
    DialogModule() = default;
    virtual ~DialogModule() = default;
    DialogModule(const DialogModule&) = delete;
    DialogModule& operator=(const DialogModule&) = delete;

    // The module whose dialog templates, icons and cursors are loaded.
    [[nodiscard]] virtual HINSTANCE Instance() const noexcept = 0;
    // The text set of the user's language.
    [[nodiscard]] virtual const LocalizedText& Text() const noexcept = 0;
    // The settings file, in full; "" when it cannot be had.
    [[nodiscard]] virtual std::wstring SettingsFilePath() const = 0;
    // The host's selection mask and, when `rect` is not null, its bounding rectangle; 0 when the
    // host gives no mask, and then neither output is written.
    virtual std::int32_t SelectionBounds(const std::uint8_t** mask, SelectionRect* rect,
                                         std::int32_t width,
                                         std::int32_t height) const noexcept = 0;
    // The fill colour of `mode`, with the host's foreground or background colour where the mode
    // needs it; alpha 0 when transparent.
    [[nodiscard]] virtual Pixel32 FillColour(std::int32_t mode,
                                             std::int32_t transparent) const noexcept = 0;
    // Tells the host, then shows a modal error box with the module's text (Shift-JIS), captioned
    // "error" unless `caption` says otherwise; `detail`, when given, on a line of its own.
    virtual void ShowError(HWND parent, const char* text, const char* caption,
                           const std::wstring& detail = {}) const noexcept = 0;
};
