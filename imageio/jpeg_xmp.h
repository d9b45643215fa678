// A JPEG file's XMP: the standard packet of one APP1 segment and, when it is too large for one,
// the extended packet whose portions follow in APP1 segments of their own, each
// "http://ns.adobe.com/xmp/extension/\0", the 32-digit GUID, the full length, the portion's
// offset (both 4 bytes, big-endian) and the portion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imageio/image_codec.h"

namespace imageio {

// What APP1 segments of the standard and of the extended packet begin with, each with its zero.
inline constexpr char kXmpSignature[] = "http://ns.adobe.com/xap/1.0/";
inline constexpr char kXmpExtensionSignature[] = "http://ns.adobe.com/xmp/extension/";

// The most bytes of packet a standard XMP segment holds.
inline constexpr std::size_t kMostStandardXmpBytes = 65502;

// One packet from the standard packet and the extended segments (each from its signature on):
// the portions of the GUID the standard packet names, gathered and checked against their
// lengths and the GUID, merged in. When they are missing or damaged the packet keeps only what
// the standard one holds, and fault says why in words to follow "its extended XMP is left out: ".
struct JpegXmp {
    std::string xmp;
    std::string fault;
};
[[nodiscard]] JpegXmp XmpFromSegments(const std::string& standard,
                                      const std::vector<ByteView>& extensions);

// The APP1 segments (each from its signature on) that carry a packet: one when it fits,
// else the standard packet and the extended one's portions. Empty when it cannot be split.
[[nodiscard]] std::vector<std::vector<std::uint8_t>> XmpSegments(const std::string& xmp);

}  // namespace imageio
