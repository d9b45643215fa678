// The BMP variants stb does not read, 1 bit per pixel and run-length coded (RLE8, RLE4), unpacked
// into the uncompressed 8-bit file of the same palette, which it does.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "imageio/image_codec.h"

namespace imageio {

// The 8-bit file of a 1-bit or run-length coded BMP with a BITMAPINFOHEADER (or a later header),
// its size checked first; nothing for any other BMP. Pixels a run skips get palette entry 0.
// Throws ImageError when the file is damaged or cut short.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> UnpackBmp(ByteView file,
                                                                 const SizeCheck& check);

}  // namespace imageio
