// Fuzz target: any text typed into the difference edit; an accepted text must round-trip through
// formatting, and the settings' own integer rule must agree with it.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "settings/settings_rules.h"
#include "ui/difference_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    // The edit hands over at most this many characters.
    const std::vector<char> text = input.Text(kDifferenceTextSize - 1);
    std::int32_t value = 12345;
    if (ParseDifferenceText(text.data(), &value)) {
        FuzzCheck(IsValidDifference(value), "accepted difference within -100..100");
        char formatted[16];
        std::snprintf(formatted, sizeof formatted, "%d", static_cast<int>(value));
        FuzzCheck(std::strcmp(formatted, text.data()) == 0, "accepted text is the value's own");
        std::int32_t again = 0;
        FuzzCheck(ParseEditInt(text.data(), &again) && again == value, "edit rule agrees");
    } else {
        FuzzCheck(value == 12345, "refused text leaves the value alone");
    }
    std::int32_t edit = 12345;
    if (ParseEditInt(text.data(), &edit)) {
        char formatted[16];
        std::snprintf(formatted, sizeof formatted, "%d", static_cast<int>(edit));
        std::int32_t back = 0;
        FuzzCheck(ParseEditInt(formatted, &back) && back == edit, "edit value round-trips");
    }
    return 0;
}
