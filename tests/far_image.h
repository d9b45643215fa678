// Far image: a nominal image of up to 2^31 - 1 pixels a side of which only a window of pixels is
// stored, for running the engine at coordinates near the 32-bit limit. The window is pixels
// start..start+count-1 in the image's row-major order; the image's pixel pointer points where
// pixel 0 would be. Guard pixels before and after the window show any access beyond it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "transform/pixel.h"

class FarImage {
   public:
    static constexpr std::size_t kGuard = 64;
    static constexpr Pixel32 kGuardValue = 0xA5C3E1F0u;

    // The window holds `count` pixels from pixel (x, y) on, each `fill`.
    FarImage(std::int32_t width, std::int32_t height, std::int32_t x, std::int32_t y,
             std::size_t count, Pixel32 fill)
        : width_(width),
          height_(height),
          start_(static_cast<std::ptrdiff_t>(y) * width + x),
          stored_(count + 2 * kGuard, kGuardValue) {
        for (std::size_t i = 0; i < count; ++i) stored_[kGuard + i] = fill;
    }

    [[nodiscard]] std::int32_t Width() const noexcept { return width_; }
    [[nodiscard]] std::int32_t Height() const noexcept { return height_; }
    // Where pixel 0 of the nominal image would be: only the window may be read or written.
    [[nodiscard]] Pixel32* Pixels() noexcept { return Window() - start_; }
    [[nodiscard]] Pixel32* Window() noexcept { return stored_.data() + kGuard; }
    [[nodiscard]] std::size_t Count() const noexcept { return stored_.size() - 2 * kGuard; }
    // Pixel (x, y), which must lie in the window.
    [[nodiscard]] Pixel32 At(std::int32_t x, std::int32_t y) const noexcept {
        return stored_[static_cast<std::size_t>(static_cast<std::ptrdiff_t>(y) * width_ + x -
                                                start_) +
                       kGuard];
    }

    [[nodiscard]] bool GuardsIntact() const noexcept {
        for (std::size_t i = 0; i < kGuard; ++i) {
            if (stored_[i] != kGuardValue || stored_[stored_.size() - 1 - i] != kGuardValue) {
                return false;
            }
        }
        return true;
    }

   private:
    std::int32_t width_;
    std::int32_t height_;
    std::ptrdiff_t start_;
    std::vector<Pixel32> stored_;
};
