// Moved lines: the source with the lines of the selection moved along the picture to undo the
// camera's tilt, each result line one weighted sum of neighbouring source lines. The pass and the
// preview rebuild the moved lines instead of the source's, each to its own length.
#pragma once

#include <cstdint>
#include <memory>

#include "transform/line_geometry.h"
#include "transform/pixel.h"
#include "transform/proportions.h"

// Where one result line takes its pixels: source lines from..from+count-1, their weights (in
// 1/16384, summing to 16384) two to a word, the first word at `at` in the table of weights.
struct LineTaps {
    std::int32_t from;
    std::int32_t count;
    std::int32_t at;
};

// The moved lines of one setting: each result line's taps and weights, and for the preview an
// image-sized moved picture whose lines of the selection are moved on demand, each once, so that
// it computes only the lines it shows. Lines outside the selection are never moved, and never read
// through it. The pass moves its lines into scratch of its own instead (MoveRowInto,
// MoveColumnsInto).
class MovedLines {
   public:
    explicit MovedLines(std::int32_t focal) noexcept : focal_(FocalOfSetting(focal)) {}
    MovedLines(const MovedLines&) = delete;
    MovedLines& operator=(const MovedLines&) = delete;

    // Another lens: the next Prepare moves the lines afresh.
    void SetFocal(std::int32_t focal) noexcept {
        if (FocalOfSetting(focal) != focal_) ready_ = false;
        focal_ = FocalOfSetting(focal);
    }

    // Makes ready the move of the lines of `rect` (inside the image) of `source`, a width x height
    // image, for the perspective profile at shape and difference; with `picture`, the buffer of
    // the moved picture too. What was moved already stays while none of that changes. False when
    // nothing moves (the perspective profile's result stands) or when memory cannot be had
    // (OutOfMemory then tells).
    [[nodiscard]] bool Prepare(const Pixel32* source, std::int32_t width, std::int32_t height,
                               const SelectionRect& rect, std::int32_t shape,
                               std::int32_t difference, bool picture = true) noexcept;
    // Row `row` of the selection moved into `out`, a row of the image's width; for shapes that
    // rebuild rows, with or without the picture.
    void MoveRowInto(std::int32_t row, Pixel32* out) const noexcept;
    // The moved columns from..to-1 (counted from the selection's first) of every row into `out`,
    // column `from` first, its rows `stride` pixels apart; for shapes that rebuild columns.
    void MoveColumnsInto(std::int32_t from, std::int32_t to, Pixel32* out,
                         std::int32_t stride) const noexcept;
    // Moves the lines from..to-1 of the selection that are not moved yet into the picture.
    void Ensure(std::int32_t from, std::int32_t to) noexcept;

    // The moved picture, a width x height image; valid on the lines ensured.
    [[nodiscard]] const Pixel32* Pixels() const noexcept { return pixels_.get(); }
    // The moved picture's lines: their lengths linear in the position.
    [[nodiscard]] const LineGeometry& Geometry() const noexcept { return geometry_; }
    [[nodiscard]] bool OutOfMemory() const noexcept { return outOfMemory_; }
    // The taps of result line j (counted from the selection's first line).
    [[nodiscard]] const LineTaps& Taps(std::int32_t j) const noexcept {
        return taps_[static_cast<std::size_t>(j)];
    }
    [[nodiscard]] const std::uint32_t* Weights() const noexcept { return weights_.get(); }

   private:
    struct Key {
        const Pixel32* source;
        std::int32_t width;
        std::int32_t height;
        SelectionRect rect;
        std::int32_t shape;
        std::int32_t difference;
        bool picture;
    };
    [[nodiscard]] bool Same(const Key& key) const noexcept;
    [[nodiscard]] bool Allocate(const Key& key, bool picture) noexcept;
    void PlanTaps(const LineMove& move, std::int32_t lines) noexcept;

    std::int32_t focal_;
    bool ready_ = false;
    bool outOfMemory_ = false;
    Key key_{};
    LineGeometry geometry_{};
    std::unique_ptr<Pixel32[]> pixels_;
    std::size_t pixelCount_ = 0;
    std::unique_ptr<LineTaps[]> taps_;
    std::unique_ptr<std::uint32_t[]> weights_;
    std::unique_ptr<std::uint8_t[]> done_;
    // A result column as the one-load sum of up to four taps takes it: its first tap, and the
    // weight pairs of taps 0 and 1 and of taps 2 and 3, each repeated for the four channels
    // (words, loaded unaligned: the heap of the 32-bit runtime aligns to 8 bytes only).
    struct FourTaps {
        std::int32_t from;
        std::uint32_t weights[8];
        bool fits;  // at most four taps, with four pixels of the row from the first
    };
    std::unique_ptr<FourTaps[]> fourTaps_;
    std::int32_t lineCount_ = 0;  // the taps, weights and marks are sized for this many lines
};
