// How large an image the 32-bit host can hold, checked before any of its pixels is allocated.
#include "host/memory_limit.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "host/host_error.h"
#include "platform/win32.h"

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

// What the process's address space keeps for the system, the host, the plug-in and the codecs'
// strips: large-address-aware under a 64-bit system it has 4096 MiB, which leaves about 3500.
constexpr std::uint64_t kReservedMiB = 596;

std::uint64_t LimitMiB() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return 2048 - kReservedMiB;
    // The total misses the 64 KiB guard areas at each end: round to the nearest MiB.
    const std::uint64_t total = (status.ullTotalVirtual + kMiB / 2) / kMiB;
    return total > kReservedMiB ? total - kReservedMiB : 0;
}

// Whether blocks of these sizes can all be had at once, each in one piece of the address space:
// reserved, never committed, and released at once.
bool BlocksFit(std::uint64_t imageBytes, std::uint32_t images, std::uint64_t maskBytes) {
    std::vector<void*> blocks;
    bool fit = imageBytes <= SIZE_MAX && maskBytes <= SIZE_MAX;
    for (std::uint32_t i = 0; fit && i <= images; ++i) {
        const std::uint64_t bytes = i < images ? imageBytes : maskBytes;
        if (bytes == 0) continue;
        void* block = VirtualAlloc(nullptr, static_cast<SIZE_T>(bytes), MEM_RESERVE, PAGE_NOACCESS);
        fit = block != nullptr;
        if (fit) blocks.push_back(block);
    }
    for (void* block : blocks) VirtualFree(block, 0, MEM_RELEASE);
    return fit;
}

// About how many MiB the run's blocks can take now, in the proportions of this run: the largest
// image block of which IMAGES (and the mask's share) fit at once.
std::uint64_t RoomMiB(std::uint32_t images, std::uint32_t maskBytesPerPixel) {
    std::uint64_t low = 0;
    std::uint64_t high = 4096;
    while (low < high) {
        const std::uint64_t mid = (low + high + 1) / 2;
        if (BlocksFit(mid * kMiB, images, mid * kMiB / 4 * maskBytesPerPixel)) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    return low * images + low / 4 * maskBytesPerPixel;
}

}  // namespace

void CheckImageFits(const std::string& path, std::uint64_t width, std::uint64_t height,
                    std::uint32_t bytesPerPixel) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) {
        // A side read from a 32-bit field past INT32_MAX was a negative number there.
        const auto side = [](std::uint64_t value) {
            return value > INT32_MAX && value <= UINT32_MAX
                       ? std::to_string(static_cast<std::int64_t>(value) - (std::int64_t{1} << 32))
                       : std::to_string(value);
        };
        throw HostError(Quoted(path) + " is " + side(width) + " \u00D7 " + side(height) +
                        ": not a size an image can have");
    }
    // Both sides are below 2^31, so their product fits in 64 bits; the byte count may not.
    const std::uint64_t pixels = width * height;
    const std::uint64_t needMiB = pixels > UINT64_MAX / 16 / bytesPerPixel
                                      ? pixels / kMiB * bytesPerPixel
                                      : (pixels * bytesPerPixel + kMiB - 1) / kMiB;
    const auto refuse = [&](std::uint64_t holdMiB) {
        throw HostError(Quoted(path) + " is " + size + ": needs " + std::to_string(needMiB) +
                        " MiB, a 32-bit host can hold about " + std::to_string(holdMiB) + " MiB");
    };
    const std::uint64_t limitMiB = LimitMiB();
    if (needMiB > limitMiB) refuse(limitMiB);
    // The sum fits; each image must also find one piece of the address space, which other
    // modules cut up. Found out now, before a decoder works for seconds and the second image
    // cannot be had.
    const std::uint32_t images = bytesPerPixel / 4;
    const std::uint32_t maskBytesPerPixel = bytesPerPixel % 4;
    if (!BlocksFit(pixels * 4, images, pixels * maskBytesPerPixel)) {
        refuse(std::min(limitMiB, RoomMiB(images, maskBytesPerPixel)));
    }
}

std::uint64_t FreeMemoryMiB() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return UINT64_MAX;  // unknown: no limit of its own
    return status.ullAvailPhys / kMiB;
}
