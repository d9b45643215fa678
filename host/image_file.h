// Image files of the host: PNG, JPEG, TIFF and BMP read into the plug-in's 8-bit BGRA and written
// back through imageio's table of codecs, the format chosen by the file's extension.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "imageio/image.h"
#include "imageio/image_codec.h"

// The format of a file name's extension (.png, .jpg/.jpeg, .tif/.tiff, .bmp, any case).
[[nodiscard]] std::optional<imageio::Format> FormatOfPath(const std::string& path);

// The format of a --format value (png, jpg or jpeg, tif or tiff, bmp; any case), or nothing.
[[nodiscard]] std::optional<imageio::Format> FormatOfName(const std::string& name);

// The extension written for a format, with its dot: ".png", ".jpg", ".tif", ".bmp".
[[nodiscard]] std::string ExtensionOf(imageio::Format format);

// jpegQuality 1..100; strip: write none of the photograph's EXIF, ICC profile and XMP.
using WriteOptions = imageio::EncodeOptions;

// Reads an image file of any supported format, whatever its extension, turned upright as its
// orientation tells a viewer, with its EXIF, ICC profile and XMP (a damaged EXIF block is left
// out with a warning line). 16-bit channels are
// rounded to 8 bits and a missing alpha is 255; of a file of several pages the first is read,
// with a warning line. Before any pixel is allocated the image's size
// is checked against what the host can hold with bytesPerPixel bytes for each pixel of the run.
// Throws HostError.
[[nodiscard]] RgbaImage ReadImage(const std::string& path, std::uint32_t bytesPerPixel);

// Width times height of an image file, read from its header; 0 when it cannot be read.
[[nodiscard]] std::uint64_t PixelCount(const std::string& path);

// The pages of an image file: 0 when there is no file, 1 when it cannot be read as an image.
[[nodiscard]] std::uint32_t PageCount(const std::string& path);

// Reads an image file as grey levels (luminance; alpha ignored). Throws HostError.
[[nodiscard]] GreyImage ReadGreyImage(const std::string& path, std::uint32_t bytesPerPixel);

// Throws HostError when the format of PATH's extension cannot hold an image of this size (a JPEG
// has at most 65500 pixels a side), or when PATH is a file of several pages, of which the result
// would keep one: a run checks it before the filter, so that no work is lost.
void CheckWritable(const std::string& path, std::int32_t width, std::int32_t height);

// Writes the image in the format of the path's extension, through a temporary file beside it
// that replaces the path only when it is complete: on failure an existing file is left as it was.
// JPEG and BMP drop alpha. JPEG, PNG and TIFF carry the image's metadata, the EXIF block made fit
// for the upright result; BMP carries none, said in a warning line when there was some.
// Throws HostError.
void WriteImage(const std::string& path, const RgbaImage& image, const WriteOptions& options);
