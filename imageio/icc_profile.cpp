// ICC profiles checked as they are read: the header's size against the bytes, and a JPEG's
// chunks gathered by their sequence numbers.
#include "imageio/icc_profile.h"

#include "imageio/codecs.h"

namespace imageio {
namespace {

constexpr std::size_t kHeaderBytes = 128;

}  // namespace

std::string IccFault(const std::vector<std::uint8_t>& icc) {
    if (icc.size() < kHeaderBytes) {
        return "it is " + std::to_string(icc.size()) + " bytes, shorter than its header";
    }
    const std::uint32_t size = BigEndian32(icc.data());
    if (size != icc.size()) {
        return "its header gives " + std::to_string(size) + " bytes, it holds " +
               std::to_string(icc.size());
    }
    return {};
}

JpegIcc IccFromJpegChunks(const std::vector<ByteView>& chunks) {
    JpegIcc icc;
    if (chunks.empty()) return icc;
    const std::size_t count = chunks.front().size >= 2 ? chunks.front().data[1] : 0;
    std::vector<const ByteView*> bySequence(count, nullptr);
    for (const ByteView& chunk : chunks) {
        if (chunk.size < 2 || chunk.data[1] != count) {
            icc.fault = "its chunks disagree on how many there are";
            return icc;
        }
        const std::size_t sequence = chunk.data[0];
        if (sequence == 0 || sequence > count) {
            icc.fault =
                "a chunk is numbered " + std::to_string(sequence) + " of " + std::to_string(count);
            return icc;
        }
        if (bySequence[sequence - 1] != nullptr) {
            icc.fault = "its chunk " + std::to_string(sequence) + " is repeated";
            return icc;
        }
        bySequence[sequence - 1] = &chunk;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (bySequence[i] == nullptr) {
            icc.fault = "its chunk " + std::to_string(i + 1) + " of " + std::to_string(count) +
                        " is missing";
            return icc;
        }
    }
    for (const ByteView* chunk : bySequence) {
        icc.profile.insert(icc.profile.end(), chunk->data + 2, chunk->data + chunk->size);
    }
    return icc;
}

}  // namespace imageio
