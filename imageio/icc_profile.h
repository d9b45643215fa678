// ICC profiles checked as they are read: a profile is carried whole or not at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imageio/image_codec.h"

namespace imageio {

// Why a profile cannot be carried (shorter than its header, or a size in its header other than
// its length), in words to follow "its ICC profile is left out: "; empty when it can.
[[nodiscard]] std::string IccFault(const std::vector<std::uint8_t>& icc);

// A profile from a JPEG file's APP2 chunks, each CHUNKS entry what follows "ICC_PROFILE\0": its
// sequence number (1 up), the count of chunks and its part of the profile. Empty with the fault
// when a chunk is missing, repeated or numbered against the others.
struct JpegIcc {
    std::vector<std::uint8_t> profile;
    std::string fault;
};
[[nodiscard]] JpegIcc IccFromJpegChunks(const std::vector<ByteView>& chunks);

}  // namespace imageio
