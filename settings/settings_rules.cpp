// Settings rules: the five values of the settings file, how each is read back from its text, and
// where the file lives beside the plug-in.
#include "settings/settings_rules.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

constexpr std::int64_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax32 = std::numeric_limits<std::int32_t>::max();

[[nodiscard]] bool IsBlank(char c) noexcept { return c == ' ' || c == '\t'; }

// A number at the start of a text: blanks, an optional sign, decimal digits. Its magnitude stops
// growing just past the 32-bit range, so that an overflow stays recognisable without wrapping.
struct LeadingNumber {
    std::int64_t value = 0;
    bool hasDigits = false;
    const char* end = nullptr;  // the first character after the number
};

LeadingNumber ScanLeadingNumber(const char* text) noexcept {
    LeadingNumber number;
    while (IsBlank(*text)) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    for (; *text >= '0' && *text <= '9'; ++text) {
        number.value = std::min(number.value * 10 + (*text - '0'), kMax32 + 2);
        number.hasDigits = true;
    }
    if (negative) number.value = -number.value;
    number.end = text;
    return number;
}

}  // namespace

std::int32_t ParseProfileInt(const char* text) noexcept {
    if (text == nullptr) return 0;
    const std::int64_t value = ScanLeadingNumber(text).value;
    return static_cast<std::int32_t>(std::max(kMin32, std::min(value, kMax32)));
}

bool ParseEditInt(const char* text, std::int32_t* value) noexcept {
    if (text == nullptr) return false;
    const LeadingNumber number = ScanLeadingNumber(text);
    const char* rest = number.end;
    while (IsBlank(*rest)) ++rest;
    if (!number.hasDigits || *rest != '\0') return false;
    if (number.value < kMin32 || number.value > kMax32) return false;
    *value = static_cast<std::int32_t>(number.value);
    return true;
}

void ApplyReadRules(const RawSettings& raw, TrapezoidSettings* settings) noexcept {
    const auto inRange = [](std::int32_t v) { return v >= 0 && v <= 5 ? v : 0; };
    settings->shape = inRange(raw.shape);
    settings->difference = raw.difference;
    settings->fill.mode = inRange(raw.undefinedArea);
    settings->fill.transparent = raw.transparent;
    settings->preview = raw.preview;
    settings->perspective = raw.perspective;
    settings->proportions = raw.proportions;
    settings->focal = FocalOfSetting(raw.focal);
}

std::wstring ExtendedLengthPath(const std::wstring& path) {
    constexpr std::size_t kShortestLong = 260;  // MAX_PATH, which the plain forms stop at
    if (path.size() < kShortestLong || path.rfind(L"\\\\?\\", 0) == 0) return path;
    if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
    return path;
}

std::wstring SettingsPathBeside(const std::wstring& moduleFile) {
    const std::size_t slash = moduleFile.rfind(L'\\');
    if (slash == std::wstring::npos) return {};
    return moduleFile.substr(0, slash + 1) + kSettingsFileName;
}
