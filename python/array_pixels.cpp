// NumPy pictures and the engine's Pixel32 words.
#include "python/array_pixels.h"

#include <cstring>
#include <string>

#include "imageio/codecs.h"

namespace py = pybind11;

namespace pixels {

namespace {

std::string ShapeText(const py::array& image) {
    std::string text = "(";
    for (py::ssize_t i = 0; i < image.ndim(); ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(image.shape(i));
    }
    return text + (image.ndim() == 1 ? ",)" : ")");
}

Pixel32 Word(unsigned red, unsigned green, unsigned blue, unsigned alpha, Order order) {
    const unsigned low = order == Order::kEngine ? blue : red;
    const unsigned high = order == Order::kEngine ? red : blue;
    return static_cast<Pixel32>(low | green << 8 | high << 16 | alpha << 24);
}

unsigned Red(Pixel32 word, Order order) {
    return order == Order::kEngine ? Channel(word, 2) : Channel(word, 0);
}
unsigned Blue(Pixel32 word, Order order) {
    return order == Order::kEngine ? Channel(word, 0) : Channel(word, 2);
}

template <typename Sample>
void ReadWords(const py::array& image, const Shape& shape, Order order, Pixel32* out) {
    const auto samples = image.unchecked<Sample, 3>();
    const auto narrow = [](Sample value) -> unsigned {
        if constexpr (sizeof(Sample) == 2) return imageio::Round16(value);
        return value;
    };
    for (py::ssize_t y = 0; y < shape.height; ++y) {
        for (py::ssize_t x = 0; x < shape.width; ++x) {
            const unsigned alpha = shape.channels == 4 ? narrow(samples(y, x, 3)) : 255u;
            *out++ = Word(narrow(samples(y, x, 0)), narrow(samples(y, x, 1)),
                          narrow(samples(y, x, 2)), alpha, order);
        }
    }
}

template <typename Sample>
py::array WriteWords(const Pixel32* words, const Shape& shape, Order order) {
    py::array_t<Sample> result({static_cast<py::ssize_t>(shape.height),
                                static_cast<py::ssize_t>(shape.width),
                                static_cast<py::ssize_t>(shape.channels)});
    Sample* out = result.mutable_data();
    const unsigned scale = sizeof(Sample) == 2 ? 257u : 1u;
    const std::size_t count = static_cast<std::size_t>(shape.width) * shape.height;
    for (std::size_t i = 0; i < count; ++i) {
        const Pixel32 word = words[i];
        *out++ = static_cast<Sample>(Red(word, order) * scale);
        *out++ = static_cast<Sample>(Channel(word, 1) * scale);
        *out++ = static_cast<Sample>(Blue(word, order) * scale);
        if (shape.channels == 4) *out++ = static_cast<Sample>(Channel(word, 3) * scale);
    }
    return std::move(result);
}

}  // namespace

Shape ShapeOf(const py::array& image) {
    const bool narrow = image.dtype().is(py::dtype::of<std::uint8_t>());
    const bool wide = image.dtype().is(py::dtype::of<std::uint16_t>());
    if (!narrow && !wide) {
        throw py::type_error("image must be a uint8 or uint16 array, not " +
                             std::string(py::str(image.dtype())));
    }
    if (image.ndim() != 3 || (image.shape(2) != 3 && image.shape(2) != 4) ||
        image.shape(0) == 0 || image.shape(1) == 0 || image.shape(0) > 0x7FFFFFFF ||
        image.shape(1) > 0x7FFFFFFF) {
        throw py::value_error("image must be H x W x 3 (RGB) or H x W x 4 (RGBA), not " +
                              ShapeText(image));
    }
    return {static_cast<std::int32_t>(image.shape(1)), static_cast<std::int32_t>(image.shape(0)),
            static_cast<std::int32_t>(image.shape(2)), wide};
}

std::vector<Pixel32> WordsOf(const py::array& image, const Shape& shape, Order order) {
    std::vector<Pixel32> words(static_cast<std::size_t>(shape.width) * shape.height);
    if (shape.wide) {
        ReadWords<std::uint16_t>(image, shape, order, words.data());
    } else {
        ReadWords<std::uint8_t>(image, shape, order, words.data());
    }
    return words;
}

bool TakenAsWords(const py::array& image, const Shape& shape) {
    return !shape.wide && shape.channels == 4 &&
           (image.flags() & py::array::c_style) == py::array::c_style &&
           reinterpret_cast<std::uintptr_t>(image.data()) % alignof(Pixel32) == 0;
}

py::array ArrayOf(const Pixel32* words, const Shape& shape, Order order) {
    if (shape.wide) return WriteWords<std::uint16_t>(words, shape, order);
    return WriteWords<std::uint8_t>(words, shape, order);
}

Pixel32 ColourOf(const py::handle& colour, const char* argument, Order order) {
    const std::string bad = std::string(argument) +
                            " must be (r, g, b) or (r, g, b, a) with values 0..255, not " +
                            std::string(py::repr(colour));
    if (!py::isinstance<py::sequence>(colour) || py::isinstance<py::str>(colour))
        throw py::value_error(bad);
    const auto values = py::reinterpret_borrow<py::sequence>(colour);
    if (values.size() != 3 && values.size() != 4) throw py::value_error(bad);
    unsigned channel[4] = {0, 0, 0, 255};
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!py::isinstance<py::int_>(values[i])) throw py::value_error(bad);
        const long value = values[i].cast<long>();
        if (value < 0 || value > 255) throw py::value_error(bad);
        channel[i] = static_cast<unsigned>(value);
    }
    return Word(channel[0], channel[1], channel[2], channel[3], order);
}

std::vector<std::uint8_t> MaskOf(const py::handle& mask, const Shape& shape) {
    if (!py::isinstance<py::array>(mask)) throw py::type_error("mask must be a uint8 array");
    const auto array = py::reinterpret_borrow<py::array>(mask);
    if (!array.dtype().is(py::dtype::of<std::uint8_t>())) {
        throw py::type_error("mask must be a uint8 array, not " +
                             std::string(py::str(array.dtype())));
    }
    if (array.ndim() != 2 || array.shape(0) != shape.height || array.shape(1) != shape.width) {
        throw py::value_error("mask must be H x W as the image, " + std::to_string(shape.height) +
                              " x " + std::to_string(shape.width) + ", not " + ShapeText(array));
    }
    const auto values = array.unchecked<std::uint8_t, 2>();
    std::vector<std::uint8_t> selection(static_cast<std::size_t>(shape.width) * shape.height);
    std::uint8_t* out = selection.data();
    for (py::ssize_t y = 0; y < shape.height; ++y) {
        for (py::ssize_t x = 0; x < shape.width; ++x) *out++ = values(y, x) != 0 ? 0 : 255;
    }
    return selection;
}

}  // namespace pixels
