// How large an image the 32-bit host can hold, checked before any of its pixels is allocated.
#pragma once

#include <cstdint>
#include <string>

// Throws HostError (`"PATH" is WxH: needs N MiB, a 32-bit host can hold about L MiB`) when an
// image of this size, with bytesPerPixel bytes for each pixel, does not fit in the process, or
// when the size is not one the plug-in interface can express (zero, or beyond 32-bit signed).
void CheckImageFits(const std::string& path, std::uint64_t width, std::uint64_t height,
                    std::uint32_t bytesPerPixel);

// Bytes per pixel that a run holds at once: the source and destination images (4 bytes each)
// and, with a selection mask, its byte.
[[nodiscard]] constexpr std::uint32_t RunBytesPerPixel(bool withMask) noexcept {
    return withMask ? 9u : 8u;
}

// The machine's memory that more processes can have now, in MiB: what the worker processes of a
// batch share between them.
[[nodiscard]] std::uint64_t FreeMemoryMiB();
