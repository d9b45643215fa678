// NumPy pictures and the engine's Pixel32 words: H x W x 3 (RGB) or H x W x 4 (RGBA) arrays of
// uint8 or uint16, any strides, read into words and written back in the array's own layout.
#pragma once

#include <pybind11/numpy.h>

#include <cstdint>
#include <vector>

#include "imageio/image.h"

namespace pixels {

// Where the red channel goes in the words: the engine's own order (blue in the low byte) for
// what reads colours, or the array's byte order for the pass, which treats the three colour
// channels alike and so runs on an RGBA array in place.
enum class Order { kEngine, kArray };

struct Shape {
    std::int32_t width;
    std::int32_t height;
    std::int32_t channels;  // 3 or 4
    bool wide;              // uint16
};

// The picture's shape; throws TypeError for another dtype, ValueError for another shape.
[[nodiscard]] Shape ShapeOf(const pybind11::array& image);

// The array's pixels as words, 16-bit values rounded as the image files' are, alpha 255 for RGB.
[[nodiscard]] std::vector<Pixel32> WordsOf(const pybind11::array& image, const Shape& shape,
                                           Order order);

// Whether the array is an RGBA uint8 array in C order whose bytes can be taken as words.
[[nodiscard]] bool TakenAsWords(const pybind11::array& image, const Shape& shape);

// A new array of the shape and dtype, filled from WORDS (16-bit values scaled by 257).
[[nodiscard]] pybind11::array ArrayOf(const Pixel32* words, const Shape& shape, Order order);

// A word of colour (r, g, b) or (r, g, b, a) from a tuple; throws ValueError naming ARGUMENT.
[[nodiscard]] Pixel32 ColourOf(const pybind11::handle& colour, const char* argument, Order order);

// A selection mask for the engine (255 unselected, 0 selected) from an H x W uint8 array whose
// non-zero values select; throws TypeError or ValueError naming "mask".
[[nodiscard]] std::vector<std::uint8_t> MaskOf(const pybind11::handle& mask, const Shape& shape);

}  // namespace pixels
