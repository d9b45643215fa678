// Settings rules: the five values of the settings file, how each is read back from its text, and
// where the file lives beside the plug-in.
#include "settings/settings_rules.h"

#include <cstdint>
#include <cstring>
#include <limits>

std::int32_t ParseProfileInt(const char* text) noexcept {
    if (text == nullptr) return 0;
    while (*text == ' ' || *text == '\t') ++text;
    bool negative = false;
    if (*text == '-' || *text == '+') negative = *text++ == '-';
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > kLimit) value = kLimit;
    }
    if (negative) return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(value == kLimit ? kLimit - 1 : value);
}

bool ParseEditInt(const char* text, std::int32_t* value) noexcept {
    if (text == nullptr) return false;
    while (*text == ' ' || *text == '\t') ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    std::int64_t magnitude = 0;
    const char* digits = text;
    for (; *text >= '0' && *text <= '9'; ++text) {
        magnitude = magnitude * 10 + (*text - '0');
        if (magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return false;
    }
    if (text == digits) return false;
    while (*text == ' ' || *text == '\t') ++text;
    if (*text != '\0') return false;
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > std::numeric_limits<std::int32_t>::max()) return false;
    *value = static_cast<std::int32_t>(signedValue);
    return true;
}

void ApplyReadRules(const RawSettings& raw, TrapezoidSettings* settings) noexcept {
    const auto inRange = [](std::int32_t v) { return v >= 0 && v <= 5 ? v : 0; };
    settings->shape = inRange(raw.shape);
    settings->difference = raw.difference;
    settings->fill.mode = inRange(raw.undefinedArea);
    settings->fill.transparent = raw.transparent;
    settings->preview = raw.preview;
}

bool BuildSettingsPath(const char* moduleFile, char* out, std::size_t size) noexcept {
    if (out == nullptr || size == 0) return false;
    out[0] = '\0';
    if (moduleFile == nullptr) return false;
    const char* slash = std::strrchr(moduleFile, '\\');
    if (slash == nullptr) return false;
    const std::size_t dirLength = static_cast<std::size_t>(slash - moduleFile) + 1;
    if (dirLength + sizeof(kSettingsFileName) > size) return false;
    std::memmove(out, moduleFile, dirLength);
    std::memcpy(out + dirLength, kSettingsFileName, sizeof(kSettingsFileName));
    return true;
}
