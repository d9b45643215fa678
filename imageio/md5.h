// MD5 digests (RFC 1321), which name an extended XMP packet in a JPEG file: no library linked
// into the 32-bit build offers one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace imageio {

[[nodiscard]] std::array<std::uint8_t, 16> Md5(const std::uint8_t* data, std::size_t size);

// The digest as 32 uppercase hexadecimal digits, as an extended XMP packet's GUID spells it.
[[nodiscard]] std::string Md5Hex(const std::string& text);

}  // namespace imageio
