// The plug-in's module object: its instance handle, its filters, and the services of the host
// executable it calls back into.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "plugin/filter_base.h"
#include "plugin_interface/kv_interface.h"
#include "settings/localized_text.h"
#include "ui/dialog_module.h"

class FilterModule final : public DialogModule {
   public:
    FilterModule() = default;
    ~FilterModule() override { DeleteFilters(); }

    // Process attach: records the instance and builds the filter list; 0 refuses the load.
    std::int32_t Initialize(HINSTANCE moduleInstance) noexcept;
    void DeleteFilters() noexcept;
    std::int32_t CreateFilters() noexcept;

    [[nodiscard]] std::int32_t FilterCount() const noexcept;
    // The filter's texts, or "" for an index out of range.
    [[nodiscard]] const char* FilterName(std::int32_t index) const noexcept;
    [[nodiscard]] const char* FilterCategory(std::int32_t index) const noexcept;
    void ExecuteFilter(std::int32_t index, HWND parent, const Pixel32* source, Pixel32* destination,
                       std::int32_t reservedA, const SelectionRect* rect, std::int32_t reservedB,
                       std::int32_t width, std::int32_t height, ProgressRecord* progress) noexcept;
    std::int32_t SetupFilter(std::int32_t index, HWND parent, const Pixel32* pixels,
                             std::int32_t width, std::int32_t height) noexcept;

    // Calls the host executable's KVF_QueryClientInfo; 0 when it cannot be reached.
    std::int32_t QueryClientInfo(std::int32_t code, void* data) const noexcept;
    // Asks the host for its selection mask.
    std::int32_t SelectionBounds(const std::uint8_t** mask, SelectionRect* rect, std::int32_t width,
                                 std::int32_t height) const noexcept override;
    // Asks the host for the foreground or background colour where the mode needs it (opaque
    // black when it does not answer).
    [[nodiscard]] Pixel32 FillColour(std::int32_t mode,
                                     std::int32_t transparent) const noexcept override;
    void ShowError(HWND parent, const char* text, const char* caption,
                   const std::wstring& detail = {}) const noexcept override;
    // The settings file beside the plug-in; "" when the plug-in's path cannot be had.
    [[nodiscard]] std::wstring SettingsFilePath() const override;
    [[nodiscard]] const LocalizedText& Text() const noexcept override;
    [[nodiscard]] HINSTANCE Instance() const noexcept override { return instance; }

   private:
    friend struct FilterModuleTestAccess;
    [[nodiscard]] FilterBase* At(std::int32_t index) const noexcept;

    HINSTANCE instance = nullptr;
    std::vector<FilterBase*> filters;  // owned
};

// `parent` when it is a window, else null: a stale or bogus handle from the host would keep the
// dialog and the error boxes from showing at all.
[[nodiscard]] HWND UsableOwner(HWND parent) noexcept;

// The one module object.
FilterModule& Module() noexcept;
