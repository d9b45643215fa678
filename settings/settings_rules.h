// Settings rules: the six values of the settings file, how each is read back from its text, and
// where the file lives beside the plug-in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "transform/edge_samplers.h"
#include "transform/proportions.h"
#include "transform/shape_profile.h"

struct TrapezoidSettings {
    std::int32_t shape;        // TrapezoidShape, 0..5
    std::int32_t difference;   // signed percentage; usable only within -100..100
    FillParams fill;           // mode and transparent flag from the file; colour and rectangle not
    std::int32_t preview;      // non-zero: live preview in the setup dialog
    std::int32_t perspective;  // non-zero: the perspective profile, else the classic one
    std::int32_t proportions;  // non-zero: with the perspective profile, the proportions restored
    std::int32_t focal;        // the lens, mm (35-mm equivalent), 8..800
};

constexpr wchar_t kSettingsFileName[] = L"vxfilters.ini";
constexpr char kSettingsSection[] = "Trapezoid";
constexpr char kShapeKey[] = "shape";
constexpr char kDifferenceKey[] = "difference";
constexpr char kUndefinedAreaKey[] = "undefarea";
constexpr char kTransparentKey[] = "transparent";
constexpr char kPreviewKey[] = "preview";
constexpr char kPerspectiveKey[] = "perspective";
constexpr char kProportionsKey[] = "proportions";
constexpr char kFocalKey[] = "focal";
constexpr char kDialogWidthKey[] = "dialog_width";
constexpr char kDialogHeightKey[] = "dialog_height";
constexpr char kPreviewFitKey[] = "preview_fit";

// The setup dialog's client size in dialog units, so that another font or resolution gives the
// same layout, and whether its preview shows the whole picture (else 1:1).
struct DialogLayout {
    std::int32_t width;
    std::int32_t height;
    std::int32_t previewFit;
};

constexpr std::int32_t kMinDifference = -100;
constexpr std::int32_t kMaxDifference = 100;

// A value's text as a signed decimal integer: optional blanks, an optional sign, digits. Text
// that does not begin with a number (or is null) gives 0; a number beyond 32 bits saturates, so
// that it stays out of every valid range instead of wrapping into one.
[[nodiscard]] std::int32_t ParseProfileInt(const char* text) noexcept;

// A signed integer typed into an edit control: optional blanks, an optional sign, at least one
// digit, optional blanks, nothing else, within 32 bits. False (and `value` untouched) otherwise,
// so that "12x" or an overflowing number is never taken for a number.
[[nodiscard]] bool ParseEditInt(const char* text, std::int32_t* value) noexcept;

// The raw values of the eight keys in file order, as parsed; a key the file lacks reads as 0.
struct RawSettings {
    std::int32_t shape;
    std::int32_t difference;
    std::int32_t undefinedArea;
    std::int32_t transparent;
    std::int32_t preview;
    std::int32_t perspective;
    std::int32_t proportions;
    std::int32_t focal;
};

// Stores the eight values: a shape or fill mode outside 0..5 becomes 0, a focal length outside
// 8..800 the default 28, the rest as read. The fill's colour and rectangle are left as they were.
void ApplyReadRules(const RawSettings& raw, TrapezoidSettings* settings) noexcept;

// The profile the perspective setting chooses: any non-zero value is on.
[[nodiscard]] constexpr LineProfile ProfileOfSetting(std::int32_t perspective) noexcept {
    return perspective != 0 ? LineProfile::kPerspective : LineProfile::kClassic;
}

// Whether a run restores proportions: only together with the perspective profile, any non-zero
// value being on; with the classic profile the setting is kept and has no effect.
[[nodiscard]] constexpr bool RestoresProportions(const TrapezoidSettings& settings) noexcept {
    return settings.perspective != 0 && settings.proportions != 0;
}

[[nodiscard]] constexpr bool IsValidDifference(std::int32_t difference) noexcept {
    return difference >= kMinDifference && difference <= kMaxDifference;
}

// The form of an absolute PATH that the file functions take at any length: from MAX_PATH on,
// "\\?\C:\..." or "\\?\UNC\server\...". Shorter paths and other forms as they are.
[[nodiscard]] std::wstring ExtendedLengthPath(const std::wstring& path);

// The settings file beside the module file `moduleFile`: its name (everything after the last
// backslash) replaced by the settings file's name. "" when the name has no backslash.
[[nodiscard]] std::wstring SettingsPathBeside(const std::wstring& moduleFile);
