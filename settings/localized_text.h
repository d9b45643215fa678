// Localized text: the error messages, the names of the six fills, the preview's menu, notices and
// corner label, and the choice of dialog template, in Japanese or English by the user's default
// language.
#pragma once

#include <cstdint>

// The entries of the preview's menu, in menu order; each entry's command id is its value plus 1.
enum class PreviewMenuEntry : std::int32_t {
    kStraightenVerticals = 0,
    kStraightenHorizontals = 1,
    kFitWholePicture = 2,
    kActualPixels = 3,
    kShowGrid = 4,
    kDrawGuides = 5,
    kClearGuides = 6,
    kStraightenAlongGuides = 7,
};
constexpr std::int32_t kPreviewMenuEntryCount = 8;

class LocalizedText {
   public:
    virtual ~LocalizedText() = default;
    // Shown when the settings file holds a value that cannot be used (ANSI code-page text).
    [[nodiscard]] virtual const char* InvalidSettingsMessage() const noexcept = 0;
    // The names of the fill modes 0 to 5, in mode order, followed by a null entry.
    [[nodiscard]] virtual const char* const* UndefinedAreaNames() const noexcept = 0;
    // Shown, followed by the file's name, when OK could not save the settings.
    [[nodiscard]] virtual const char* SaveFailedMessage() const noexcept = 0;
    // Shown, followed by the file's name, when a run cannot read the settings file, which is
    // there but cannot be opened.
    [[nodiscard]] virtual const char* ReadFailedMessage() const noexcept = 0;
    // Shown when the setup dialog cannot be created even after registering its control classes.
    [[nodiscard]] virtual const char* DialogFailedMessage() const noexcept = 0;
    // The entries of the preview's menu in PreviewMenuEntry order, followed by a null entry.
    [[nodiscard]] virtual const char* const* PreviewMenuNames() const noexcept = 0;
    // Drawn over the preview for a while when no straightening can be suggested.
    [[nodiscard]] virtual const char* NoStraightLinesNotice() const noexcept = 0;
    // Drawn over the preview when straightening along the guides finds fewer than two of them,
    // or guides of both directions.
    [[nodiscard]] virtual const char* TooFewGuidesNotice() const noexcept = 0;
    [[nodiscard]] virtual const char* MixedGuidesNotice() const noexcept = 0;
    // The preview's corner label while it shows the picture before the correction.
    [[nodiscard]] virtual const char* BeforeLabel() const noexcept = 0;
    // The line under InvalidSettingsMessage naming the file, the key, its value and the range
    // allowed: a printf format of (file, key, value, least, greatest).
    [[nodiscard]] virtual const char* OutOfRangeFormat() const noexcept = 0;
    // Shown when a run cannot have the memory that restoring the proportions takes.
    [[nodiscard]] virtual const char* NoMemoryForProportionsMessage() const noexcept = 0;
};

// Texts are Shift-JIS (code page 932), for the code-page window functions.
class JapaneseText final : public LocalizedText {
   public:
    [[nodiscard]] const char* TooFewGuidesNotice() const noexcept override;
    [[nodiscard]] const char* MixedGuidesNotice() const noexcept override;
    [[nodiscard]] const char* BeforeLabel() const noexcept override;
    [[nodiscard]] const char* OutOfRangeFormat() const noexcept override;
    [[nodiscard]] const char* InvalidSettingsMessage() const noexcept override;
    [[nodiscard]] const char* const* UndefinedAreaNames() const noexcept override;
    [[nodiscard]] const char* SaveFailedMessage() const noexcept override;
    [[nodiscard]] const char* ReadFailedMessage() const noexcept override;
    [[nodiscard]] const char* DialogFailedMessage() const noexcept override;
    [[nodiscard]] const char* const* PreviewMenuNames() const noexcept override;
    [[nodiscard]] const char* NoStraightLinesNotice() const noexcept override;
    [[nodiscard]] const char* NoMemoryForProportionsMessage() const noexcept override;
};

class EnglishText final : public LocalizedText {
   public:
    [[nodiscard]] const char* TooFewGuidesNotice() const noexcept override;
    [[nodiscard]] const char* MixedGuidesNotice() const noexcept override;
    [[nodiscard]] const char* BeforeLabel() const noexcept override;
    [[nodiscard]] const char* OutOfRangeFormat() const noexcept override;
    [[nodiscard]] const char* InvalidSettingsMessage() const noexcept override;
    [[nodiscard]] const char* const* UndefinedAreaNames() const noexcept override;
    [[nodiscard]] const char* SaveFailedMessage() const noexcept override;
    [[nodiscard]] const char* ReadFailedMessage() const noexcept override;
    [[nodiscard]] const char* DialogFailedMessage() const noexcept override;
    [[nodiscard]] const char* const* PreviewMenuNames() const noexcept override;
    [[nodiscard]] const char* NoStraightLinesNotice() const noexcept override;
    [[nodiscard]] const char* NoMemoryForProportionsMessage() const noexcept override;
};

constexpr std::int32_t kJapaneseTemplateId = 118;
constexpr std::int32_t kEnglishTemplateId = 119;

// Japanese is primary language 17 in the low 10 bits of a language id, whatever the sublanguage.
[[nodiscard]] constexpr bool IsJapaneseLanguage(std::uint32_t languageId) noexcept {
    return (languageId & 0x3FFu) == 17u;
}

[[nodiscard]] constexpr std::int32_t DialogTemplateIdFor(std::uint32_t languageId) noexcept {
    return IsJapaneseLanguage(languageId) ? kJapaneseTemplateId : kEnglishTemplateId;
}

// The text set for a language id; the objects are constants of the module and never freed.
[[nodiscard]] const LocalizedText& TextForLanguage(std::uint32_t languageId) noexcept;
