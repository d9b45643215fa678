// Difference rules of the setup dialog: which texts the difference edit accepts, and the value
// each slider notification asks for.
#pragma once

#include <cstddef>
#include <cstdint>

// Characters read back from the difference edit, the terminator included: at most 14 are judged.
constexpr std::size_t kDifferenceTextSize = 15;

// Accepts an optional "-" and decimal digits without a leading zero ("0" alone is fine), worth
// -100..100. Anything else is refused, so the edit can put the last good value back.
[[nodiscard]] bool ParseDifferenceText(const char* text, std::int32_t* value) noexcept;

// The difference a slider notification asks for, given the current one and the thumb position
// the slider reports with a drag; false for the codes that ask for nothing (end of a drag).
[[nodiscard]] bool SliderDifference(std::uint32_t code, std::int32_t current, std::int16_t thumb,
                                    std::int32_t* value) noexcept;
