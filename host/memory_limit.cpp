// How large an image the 32-bit host can hold, checked before any of its pixels is allocated.
#include "host/memory_limit.h"

#include <cstdint>

#include "host/host_error.h"
#include "plugin/win32.h"

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

}  // namespace

void CheckImageFits(const std::string& path, std::uint64_t width, std::uint64_t height,
                    std::uint32_t bytesPerPixel) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) {
        throw HostError(Quoted(path) + " is " + size + ": not a size an image can have");
    }
    // Both sides are below 2^31, so their product fits in 64 bits; the byte count may not.
    const std::uint64_t pixels = width * height;
    const std::uint64_t needMiB = pixels > UINT64_MAX / 16 / bytesPerPixel
                                      ? pixels / kMiB * bytesPerPixel
                                      : (pixels * bytesPerPixel + kMiB - 1) / kMiB;
    const std::uint64_t limitMiB = LimitMiB();
    if (needMiB > limitMiB) {
        throw HostError(Quoted(path) + " is " + size + ": needs " + std::to_string(needMiB) +
                        " MiB, a 32-bit host can hold about " + std::to_string(limitMiB) + " MiB");
    }
}
