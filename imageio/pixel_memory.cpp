// Pixel memory for the decoders: a photograph's pixels in huge pages where the system gives them.
#include "imageio/codecs.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <cstdint>

namespace imageio {

namespace {

#if defined(__linux__)
// Asks for huge pages over the whole 2 MiB pages of [data, data + bytes), before any is touched.
// Only advice: where the system keeps them for programs that ask (or has none), nothing changes.
void AdviseHugePages(void* data, std::size_t bytes) noexcept {
    constexpr std::uintptr_t kHugePage = std::uintptr_t{1} << 21;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + bytes) & ~(kHugePage - 1);
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}
#endif

}  // namespace

std::vector<Pixel32> NewPixels(std::size_t count) {
    std::vector<Pixel32> pixels;
#if defined(__linux__)
    pixels.reserve(count);
    AdviseHugePages(pixels.data(), count * sizeof(Pixel32));
#endif
    pixels.resize(count);
    return pixels;
}

}  // namespace imageio
