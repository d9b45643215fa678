// JPEG files through libjpeg-turbo (built from source by scripts/build_libjpeg.sh): under Wine the
// imaging component's JPEG codec is several times slower, and its encoder ignores the quality.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/image.h"
#include "host/wic.h"

// The largest side of a JPEG image the library writes or reads.
constexpr std::int32_t kJpegMaxSide = 65500;

// True when a file's first bytes are a JPEG's start-of-image marker.
[[nodiscard]] bool StartsAsJpeg(const std::uint8_t* bytes, std::size_t count) noexcept;

// Reads the JPEG in STREAM (at its start) into the plug-in's 8-bit BGRA: colour, grey, CMYK and
// YCCK, baseline or progressive. The size in the header is checked with CheckImageFits before
// any pixel is allocated. A damaged or cut-short file is an error, not a grey-filled image.
// Throws HostError ("cannot read "PATH": ...").
[[nodiscard]] RgbaImage ReadJpeg(IStream& stream, const std::string& path,
                                 std::uint32_t bytesPerPixel);

// Writes IMAGE as a baseline JPEG file (quality 1..100, 4:2:0 below 95 and 4:4:4 from 95, alpha
// dropped) into STREAM. WHAT starts the message of a failure. Throws HostError.
// With the METADATA given (EXIF, XMP and ICC profile as APP1, APP1 and APP2 segments; a block
// too large for its segment is left out with a warning line).
void WriteJpeg(IStream& stream, const RgbaImage& image, int quality, const PhotoMetadata& metadata,
               const std::string& what);
