// The codecs of the table, one file each: what image_codec.cpp lists for every format.
#pragma once

#include "imageio/image_codec.h"

namespace imageio {

// The 32-bit big-endian number at AT, as the file formats' headers and lengths hold it.
[[nodiscard]] inline std::uint32_t BigEndian32(const std::uint8_t* at) noexcept {
    return std::uint32_t{at[0]} << 24 | std::uint32_t{at[1]} << 16 | std::uint32_t{at[2]} << 8 |
           at[3];
}

// The largest side of a JPEG image the library writes or reads.
constexpr std::uint32_t kJpegMaxSide = 65500;

[[nodiscard]] bool IsJpeg(ByteView start);
[[nodiscard]] Decoded ReadJpeg(ByteView file, const SizeCheck& check);
[[nodiscard]] Encoded WriteJpeg(const RgbaImage& image, const PhotoMetadata& metadata,
                                const EncodeOptions& options);

[[nodiscard]] bool IsPng(ByteView start);
[[nodiscard]] Decoded ReadPng(ByteView file, const SizeCheck& check);
[[nodiscard]] Encoded WritePng(const RgbaImage& image, const PhotoMetadata& metadata,
                               const EncodeOptions& options);

[[nodiscard]] bool IsTiff(ByteView start);
[[nodiscard]] Decoded ReadTiff(ByteView file, const SizeCheck& check);
[[nodiscard]] Encoded WriteTiff(const RgbaImage& image, const PhotoMetadata& metadata,
                                const EncodeOptions& options);

// The directories of a TIFF file, at least 1.
[[nodiscard]] std::uint32_t TiffPages(ByteView file);

[[nodiscard]] bool IsWebp(ByteView start);
[[nodiscard]] Decoded ReadWebp(ByteView file, const SizeCheck& check);
[[nodiscard]] Encoded WriteWebp(const RgbaImage& image, const PhotoMetadata& metadata,
                                const EncodeOptions& options);

// HEIF is read only.
[[nodiscard]] bool IsHeic(ByteView start);
[[nodiscard]] Decoded ReadHeic(ByteView file, const SizeCheck& check);

[[nodiscard]] bool IsBmp(ByteView start);
[[nodiscard]] Decoded ReadBmp(ByteView file, const SizeCheck& check);
[[nodiscard]] Encoded WriteBmp(const RgbaImage& image, const PhotoMetadata& metadata,
                               const EncodeOptions& options);

// Helpers the codecs share: a 16-bit sample rounded to the nearest 8-bit value (65535 to 255,
// 32896 to 128), and BGRA words as the R, G, B (and A) bytes PNG, TIFF and BMP store.
[[nodiscard]] constexpr std::uint8_t Round16(std::uint32_t value) noexcept {
    return static_cast<std::uint8_t>((value * 255 + 32767) / 65535);
}
void ToRgbBytes(const Pixel32* pixels, std::size_t count, bool withAlpha, std::uint8_t* out);

// COUNT zeroed pixels for a decoder to fill. A photograph's come in huge pages where the system
// gives them: a 6000 x 4000 picture then costs the kernel 46 page faults rather than 23,438.
[[nodiscard]] std::vector<Pixel32> NewPixels(std::size_t count);

}  // namespace imageio
