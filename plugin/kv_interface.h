// The filter plug-in interface shared by the plug-in and its hosts: export signatures and the
// host's client-information service codes.
#pragma once

#include <cstdint>

#include "transform/pixel.h"
#include "transform/progress.h"

// Service codes of the host's KVF_QueryClientInfo(code, data).
enum ClientInfoCode : std::int32_t {
    ClientInfoForeground = 1,     // data: Pixel32* that receives the foreground colour
    ClientInfoBackground = 3,     // data: Pixel32* that receives the background colour
    ClientInfoSelectionMask = 4,  // data: const uint8_t** that receives the mask (255 = unselected)
    ClientInfoBeforeMessage = 5,  // data: null; an error message box is about to be shown
};

using QueryClientInfoFn = std::int32_t(KV_STDCALL*)(std::int32_t code, void* data);

// Exports of a filter plug-in; each is also exported under its decorated stdcall name.
using GetPluginInfoFn = std::int16_t(KV_STDCALL*)(char* buffer, std::int32_t length);
using FilterCountFn = std::int32_t(KV_STDCALL*)();
using GetNameFn = char*(KV_STDCALL*)(std::int32_t index, char* category,
                                     std::int32_t categoryLength, char* name,
                                     std::int32_t nameLength);
using SetupFn = std::int32_t(KV_STDCALL*)(std::int32_t index, void* parent, const Pixel32* pixels,
                                          std::int32_t width, std::int32_t height);
using ExecuteFn = std::int32_t(KV_STDCALL*)(std::int32_t index, void* parent, const Pixel32* source,
                                            Pixel32* destination, std::int32_t reservedA,
                                            const SelectionRect* rect, std::int32_t reservedB,
                                            std::int32_t width, std::int32_t height,
                                            ProgressCallback progress, std::intptr_t userData);
