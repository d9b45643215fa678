// Image files in memory: one table of codecs (JPEG through libjpeg-turbo, PNG through libpng, TIFF
// through libtiff, BMP through stb, WebP through libwebp, HEIF read through libheif; the last two
// natively only), each reading
// a file's bytes into the plug-in's 8-bit BGRA with the photograph's metadata and writing them
// back. Portable: no windows.h; the callers own the files, the messages' file names and the memory
// limits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "imageio/image.h"

namespace imageio {

enum class Format { kJpeg, kPng, kTiff, kBmp, kWebp, kHeic };

// What of a photograph's metadata a format carries.
enum MetadataKind : unsigned { kExif = 1, kIcc = 2, kXmp = 4 };

// A file that cannot be read or an image that cannot be written; the message says why in plain
// words and names no file ("the PNG file is damaged or cut short"), for the caller to prefix.
class ImageError : public std::runtime_error {
   public:
    explicit ImageError(const std::string& message) : std::runtime_error(message) {}
};

// Called with a file's width and height before any pixel is allocated; throws to refuse it.
using SizeCheck = std::function<void(std::uint64_t width, std::uint64_t height)>;

struct ByteView {
    const std::uint8_t* data;
    std::size_t size;
};

// A file read: its pixels as stored (not yet turned upright: metadata.orientation says how),
// the lines worth a warning, each to follow the quoted file name (" ends without its end
// marker; every row is there", ": its EXIF block is left out: an entry counts 2147483648
// values"), and its pages.
struct Decoded {
    RgbaImage image;
    std::vector<std::string> warnings;
    std::uint32_t pages = 1;
};

struct EncodeOptions {
    int jpegQuality = 92;  // 1..100
    bool strip = false;    // EncodeFor: write none of the photograph's EXIF, ICC profile and XMP
};

// An image encoded; warnings as for Decoded (": its XMP packet is too large for a JPEG segment
// and is left out").
struct Encoded {
    std::vector<std::uint8_t> bytes;
    std::vector<std::string> warnings;
};

struct Codec {
    Format format;
    const char* title;              // as messages name it: "JPEG"
    const char* name;               // the --format value and the extension written, no dot
    const char* extensions;         // every extension read as this format, each with a space
    bool (*sniff)(ByteView start);  // true when a file's first bytes are this format's
    Decoded (*read)(ByteView file, const SizeCheck& check);  // throws ImageError
    // Writes IMAGE's pixels with METADATA as given; throws ImageError. Null: read only.
    Encoded (*write)(const RgbaImage& image, const PhotoMetadata& metadata,
                     const EncodeOptions& options);
    bool keepsAlpha;        // writes RGBA when some pixel is not opaque; else alpha is dropped
    unsigned metadata;      // MetadataKind bits read and written
    std::uint32_t maxSide;  // the largest width or height it writes
};

// WebP and HEIF are read (and WebP written) where the build has libwebp and libheif: natively.
#if IMAGEIO_PHONE_FORMATS
constexpr std::size_t kCodecCount = 6;
#else
constexpr std::size_t kCodecCount = 4;
#endif

// Every codec of the build, JPEG first.
[[nodiscard]] const std::array<Codec, kCodecCount>& Codecs();

[[nodiscard]] const Codec& CodecOf(Format format);
// The codec of a file name's extension (any case), of a --format value (png, jpg or jpeg, tif or
// tiff, bmp, webp), or of a file's first bytes; null when none.
[[nodiscard]] const Codec* CodecOfPath(const std::string& path);
[[nodiscard]] const Codec* CodecOfName(const std::string& name);
[[nodiscard]] const Codec* CodecOfBytes(ByteView start);

// Reads a file of any format by its first bytes. Throws ImageError: a file too short to be an
// image, one of no format known here, or what its codec says.
[[nodiscard]] Decoded Decode(ByteView file, const SizeCheck& check);

// The pages of a file: a TIFF's directories, 1 for a file of any other kind (or none).
[[nodiscard]] std::uint32_t PageCount(ByteView file);

// Decode, the image then turned upright as its orientation tells a viewer (orientation 1 after);
// an EXIF block that fails ExifProblem's checks is left out with a warning that says why, so
// that no format carries it.
[[nodiscard]] Decoded DecodeUpright(ByteView file, const SizeCheck& check);

// Writes an upright result in FORMAT (one the table writes) with what it carries of the image's
// metadata: none with options.strip, else its EXIF block made fit for the result (orientation 1,
// its size, no thumbnail; left out with a warning when damaged); a warning says what the format
// leaves out. Throws ImageError.
[[nodiscard]] Encoded EncodeFor(Format format, const RgbaImage& image,
                                const EncodeOptions& options);

}  // namespace imageio
