// Difference rules of the setup dialog: which texts the difference edit accepts, and the value
// each slider notification asks for.
#include "ui/difference_rules.h"

#include <algorithm>

#include "settings/settings_rules.h"

bool ParseDifferenceText(const char* text, std::int32_t* value) noexcept {
    if (text == nullptr || text[0] == '\0') return false;
    const bool negative = text[0] == '-';
    const char* digits = negative ? text + 1 : text;
    if (digits[0] == '\0') return false;
    // A leading zero is only allowed as the whole text: "00", "05" and "-0" are refused.
    if (digits[0] == '0' && text[1] != '\0') return false;
    std::int32_t magnitude = 0;
    for (const char* c = digits; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return false;
        // Stop growing once out of range, so long digit runs cannot overflow.
        magnitude = std::min<std::int32_t>(magnitude * 10 + (*c - '0'), kMaxDifference + 1);
    }
    const std::int32_t result = negative ? -magnitude : magnitude;
    if (!IsValidDifference(result)) return false;
    *value = result;
    return true;
}

bool SliderDifference(std::uint32_t code, std::int32_t current, std::int16_t thumb,
                      std::int32_t* value) noexcept {
    switch (code) {
        case 0:  // line up: arrow left or up
            *value = current - 1;
            return true;
        case 1:  // line down: arrow right or down
            *value = current + 1;
            return true;
        case 2:  // page up: Page Up, or a click left of the thumb
            *value = std::max(current - 10, kMinDifference);
            return true;
        case 3:  // page down: Page Down, or a click right of the thumb
            *value = std::min(current + 10, kMaxDifference);
            return true;
        case 4:  // thumb released after a drag
        case 5:  // thumb dragged
            *value = thumb;
            return true;
        case 6:  // top: Home
            *value = kMinDifference;
            return true;
        case 7:  // bottom: End
            *value = kMaxDifference;
            return true;
        default:  // end of a drag or of a key press: nothing new
            return false;
    }
}
