// Fuzz input: the bytes libFuzzer hands a target, taken apart into the values a call needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class FuzzInput {
   public:
    FuzzInput(const std::uint8_t* data, std::size_t size) noexcept : bytes(data), left(size) {}

    // An integer in lo..hi from the next bytes; lo once the input is used up.
    [[nodiscard]] std::int32_t IntIn(std::int32_t lo, std::int32_t hi) noexcept {
        std::uint32_t raw = 0;
        const std::size_t n = left < sizeof raw ? left : sizeof raw;
        std::memcpy(&raw, bytes, n);
        Skip(n);
        const std::uint64_t span =
            static_cast<std::uint64_t>(hi) - static_cast<std::uint64_t>(lo) + 1;
        return static_cast<std::int32_t>(static_cast<std::int64_t>(lo) +
                                         static_cast<std::int64_t>(raw % span));
    }

    // The next `count` bytes in a buffer of exactly that size (zeros past the end of the input),
    // so that AddressSanitizer sees any read beyond it.
    [[nodiscard]] std::vector<std::uint8_t> Bytes(std::size_t count) {
        std::vector<std::uint8_t> out(count, 0);
        const std::size_t n = left < count ? left : count;
        if (n > 0) std::memcpy(out.data(), bytes, n);
        Skip(n);
        return out;
    }

    // Whatever is left, as a zero-terminated text of at most `maxLength` characters.
    [[nodiscard]] std::vector<char> Text(std::size_t maxLength) {
        const std::size_t n = left < maxLength ? left : maxLength;
        std::vector<char> out(n + 1, '\0');
        if (n > 0) std::memcpy(out.data(), bytes, n);
        Skip(n);
        return out;
    }

    [[nodiscard]] std::size_t Left() const noexcept { return left; }

    // A coordinate or size as the engine may meet it: small, close to `extent` (an image's
    // size, say), near the 32-bit limits, or any at all.
    [[nodiscard]] std::int32_t Coordinate(std::int32_t extent) noexcept {
        constexpr std::int32_t kMax = 2147483647;
        switch (IntIn(0, 4)) {
            case 0:
                return IntIn(-3, 40);
            case 1:
                return static_cast<std::int32_t>(std::int64_t{extent} - IntIn(-3, 40));
            case 2:
                return kMax - IntIn(0, 40);
            case 3:
                return (1 << 22) + IntIn(-40, 40);
            default:
                return IntIn(-kMax - 1, kMax);
        }
    }

   private:
    void Skip(std::size_t n) noexcept {
        bytes += n;
        left -= n;
    }

    const std::uint8_t* bytes;
    std::size_t left;
};

// A failed property: abort, so that libFuzzer records the input as a crash.
void FuzzCheck(bool condition, const char* what);
