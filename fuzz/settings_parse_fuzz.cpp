// Fuzz target: any bytes as the values of the settings file, through the parse the module uses;
// every value must obey the read rules.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "fuzz/fuzz_input.h"
#include "settings/settings_rules.h"

namespace {

// The module reads a value into 64 characters, its terminator included.
constexpr std::size_t kValueChars = 63;

// What the read rules ask of one value's text, through the C library's own number reading.
std::int32_t ExpectedValue(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    const char* start = text.c_str() + i;
    const bool sign = *start == '-' || *start == '+';
    if (!(*start >= '0' && *start <= '9') && !(sign && start[1] >= '0' && start[1] <= '9')) {
        return 0;
    }
    errno = 0;
    const long long value = std::strtoll(start, nullptr, 10);
    constexpr long long lo = std::numeric_limits<std::int32_t>::min();
    constexpr long long hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value < lo ? lo : value > hi ? hi : value);
}

}  // namespace

// The input's first eight lines are the values of the eight keys in file order, as the platform's
// profile reader hands them over.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string content(reinterpret_cast<const char*>(data), size);
    constexpr int kKeys = 8;
    std::string values[kKeys];
    std::size_t from = 0;
    for (std::string& value : values) {
        if (from > content.size()) break;
        std::size_t end = content.find('\n', from);
        if (end == std::string::npos) end = content.size();
        value = content.substr(from, end - from).substr(0, kValueChars);
        value = value.substr(0, value.find('\0'));
        from = end + 1;
    }
    std::int32_t parsed[kKeys];
    for (int k = 0; k < kKeys; ++k) {
        parsed[k] = ParseProfileInt(values[k].c_str());
        FuzzCheck(parsed[k] == ExpectedValue(values[k]), "value read as its decimal number");
    }
    const RawSettings raw{parsed[0], parsed[1], parsed[2], parsed[3],
                          parsed[4], parsed[5], parsed[6], parsed[7]};
    TrapezoidSettings settings{};
    ApplyReadRules(raw, &settings);
    const auto ruled = [](std::int32_t v) { return v >= 0 && v <= 5 ? v : 0; };
    FuzzCheck(settings.shape == ruled(raw.shape), "shape 0..5, else 0");
    FuzzCheck(settings.fill.mode == ruled(raw.undefinedArea), "fill mode 0..5, else 0");
    FuzzCheck(settings.difference == raw.difference, "difference as read");
    FuzzCheck(settings.fill.transparent == raw.transparent, "transparent as read");
    FuzzCheck(settings.preview == raw.preview, "preview as read");
    FuzzCheck(settings.perspective == raw.perspective, "perspective as read");
    FuzzCheck(settings.proportions == raw.proportions, "proportions as read");
    const bool lens = raw.focal >= 8 && raw.focal <= 800;
    FuzzCheck(settings.focal == (lens ? raw.focal : 28), "focal 8..800, else 28");
    return 0;
}
