// The plain types the plug-in interface passes: pixel words, the selection rectangle and the
// progress callback. The engine uses them too, so that a host's buffers reach it unconverted.
#pragma once

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define KV_STDCALL __stdcall
#else
#define KV_STDCALL
#endif

using Pixel32 =
    std::uint32_t;  // blue bits 0-7, green 8-15, red 16-23, alpha 24-31; not premultiplied

// Rectangle in image pixels; right and bottom are exclusive.
struct SelectionRect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

// (current, total, user data); total is always 100. The result is not a request to stop.
using ProgressCallback = std::int32_t(KV_STDCALL*)(std::int32_t current, std::int32_t total,
                                                   std::intptr_t userData);
