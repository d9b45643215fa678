// PNG chunks read here rather than through libpng: an EXIF block kept as hexadecimal text
// ("Raw profile type exif" or "APP1"), and the profile of an iCCP chunk libpng refuses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imageio/image_codec.h"

namespace imageio {

// The bytes of a "Raw profile type" text: a line naming the type, the length in decimal, then
// that many bytes in hexadecimal digits broken by new lines. Nothing when it is not that.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> RawProfileBytes(const std::string& text);

// A chunk of a PNG file: its type's four letters and its data.
struct PngChunk {
    const std::uint8_t* type;
    ByteView data;
};

// The chunks of a PNG file up to its IEND; nothing when a chunk's length reaches past the file.
[[nodiscard]] std::optional<std::vector<PngChunk>> PngChunks(ByteView file);

// The profile of a PNG file's iCCP chunk, inflated: nothing when it has none, empty when the
// chunk does not inflate.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> IccpChunkProfile(ByteView file);

}  // namespace imageio
