// Image files of every layout the codecs read, made in memory with the libraries themselves for
// the codec tests and the fuzz seeds: samples given as rows of 8- or 16-bit values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imageio {

// A picture as a file stores it: width × height pixels of `channels` samples of `bits` bits (8 or
// 16), row by row; or, with a palette (RGB triples of 16-bit values), one index a pixel.
struct Samples {
    std::uint32_t width;
    std::uint32_t height;
    int channels;  // 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA
    int bits;
    std::vector<std::uint16_t> values;
    std::vector<std::uint16_t> palette;
};

// A PNG file of SAMPLES, interlaced on request.
[[nodiscard]] std::vector<std::uint8_t> PngFile(const Samples& samples, bool interlaced = false);

// A TIFF file of SAMPLES in either byte order, with libtiff's COMPRESSION, in tiles of 16 × 16 on
// request; with alpha, ASSOCIATED marks it premultiplied.
struct TiffOptions {
    bool bigEndian = false;
    int compression = 1;
    bool tiled = false;
    bool associated = false;
    int sampleFormat = 1;  // 3: floating point
};
[[nodiscard]] std::vector<std::uint8_t> TiffFileOf(const Samples& samples,
                                                   const TiffOptions& options);

// A BMP file with a BITMAPINFOHEADER: BITS per pixel, COMPRESSION (0 none, 1 RLE8, 2 RLE4),
// PALETTE as B, G, R, 0 quadruples, then the pixel data as given (bottom row first).
[[nodiscard]] std::vector<std::uint8_t> BmpFile(std::int32_t width, std::int32_t height, int bits,
                                                int compression,
                                                const std::vector<std::uint8_t>& palette,
                                                const std::vector<std::uint8_t>& pixels);

// An entry of a test EXIF block: its values in little-endian order (in its value field when they
// fit 4 bytes), or, LINK not -1, the offset of that directory of the block.
struct ExifTestEntry {
    std::uint16_t tag;
    std::uint16_t type;
    std::uint32_t count;
    std::vector<std::uint8_t> values;
    int link = -1;
};
struct ExifTestDirectory {
    std::vector<ExifTestEntry> entries;
    int next = -1;  // the directory linked after it
};
// An entry of NUMBERS, each BYTES_EACH long; one of TEXT and its ending zero (ASCII).
[[nodiscard]] ExifTestEntry ExifValues(std::uint16_t tag, std::uint16_t type, std::uint32_t count,
                                       std::vector<std::uint32_t> numbers, int bytesEach);
[[nodiscard]] ExifTestEntry ExifText(std::uint16_t tag, const std::string& text);

// A little-endian EXIF block: its DIRECTORIES one after another from offset 8 (the first is the
// first directory), then the values longer than 4 bytes in the order of their entries, then
// TRAILING.
[[nodiscard]] std::vector<std::uint8_t> ExifBlockOf(
    const std::vector<ExifTestDirectory>& directories,
    const std::vector<std::uint8_t>& trailing = {});

// A little-endian EXIF block: orientation, camera maker in the first directory; an EXIF directory
// with the exposure time 1/250 and the time taken; a GPS directory with a latitude.
[[nodiscard]] std::vector<std::uint8_t> CameraExif(std::uint16_t orientation);

}  // namespace imageio
