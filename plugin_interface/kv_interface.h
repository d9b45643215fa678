// The filter plug-in interface shared by the plug-in and its hosts: export signatures and the
// host's client-information service codes.
#pragma once

#include <cstdint>

#include "plugin_interface/kv_types.h"

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

// Results of the optional export KVF_SuggestSettings.
enum SuggestResult : std::int32_t {
    SuggestSaveFailed = -1,  // found and reported, but the settings file could not be written
    SuggestNotFound = 0,     // no suggestion, or bad arguments; nothing written anywhere
    SuggestFound = 1,        // found, reported, and saved when asked
};

// Values of KVF_SuggestSettings's `direction`.
enum SuggestDirection : std::int32_t {
    SuggestVerticals = 0,    // straightens near-vertical lines with a row shape, 1 or 2
    SuggestHorizontals = 1,  // straightens near-horizontal lines with a column shape, 4 or 5
};

// KVF_SuggestSettings(pixels, width, height, rect, mask, direction, save, shape, difference):
// the shape and difference that straighten the picture's lines, for hosts that know of it.
// `pixels` holds width x height pixels in rows of `width`; `rect` (null: the whole picture) is
// clipped to the picture; `mask` (null: every pixel) holds one byte per pixel in the same layout,
// 255 for a pixel outside the selection. The current shape is read from the settings file. Non-zero
// `save` writes the suggested shape and difference into the settings file, leaving its other keys
// as they are. Writes *shape and *difference only when the result is not SuggestNotFound. Bad
// arguments (null pixels or outputs, a size of 0 or below or too big to address, a rectangle
// empty or outside the picture, a direction other than the two) give SuggestNotFound.
using SuggestSettingsFn = std::int32_t(KV_STDCALL*)(const Pixel32* pixels, std::int32_t width,
                                                    std::int32_t height, const SelectionRect* rect,
                                                    const std::uint8_t* mask,
                                                    std::int32_t direction, std::int32_t save,
                                                    std::int32_t* shape, std::int32_t* difference);
