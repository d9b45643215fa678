// The settings file read from its text.
#include "settings/settings_text.h"

#include <cctype>
#include <string>

namespace {

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// The keys in the order of RawSettings' fields.
constexpr const char* kKeys[] = {kShapeKey,   kDifferenceKey,  kUndefinedAreaKey, kTransparentKey,
                                 kPreviewKey, kPerspectiveKey, kProportionsKey,   kFocalKey};
constexpr int kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
static_assert(sizeof(RawSettings) == kKeyCount * sizeof(std::int32_t));

}  // namespace

RawSettings ReadSettingsText(std::string_view text) {
    std::int32_t values[kKeyCount] = {};
    bool found[kKeyCount] = {};
    enum { kBefore, kInside, kAfter } where = kBefore;
    while (!text.empty() && where != kAfter) {
        const std::size_t end = text.find('\n');
        const std::string_view line = Trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.front() == '[') {
            const std::size_t close = line.find(']');
            const bool ours = SameName(Trimmed(line.substr(1, close - 1)), kSettingsSection);
            where = where == kInside ? kAfter : ours ? kInside : kBefore;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (where != kInside || equals == std::string_view::npos) continue;
        const std::string_view key = Trimmed(line.substr(0, equals));
        for (int i = 0; i < kKeyCount; ++i) {
            if (found[i] || !SameName(key, kKeys[i])) continue;
            found[i] = true;
            values[i] = ParseProfileInt(std::string(Trimmed(line.substr(equals + 1))).c_str());
        }
    }
    return {values[0], values[1], values[2], values[3], values[4], values[5], values[6], values[7]};
}
