// Suggested settings: the straightening the plug-in proposes for a host's picture, with the
// host's arguments checked first, saved into the settings file when the host asks.
#pragma once

#include <cstdint>

#include "transform/pixel.h"

// The work of the KVF_SuggestSettings export, whose contract plugin_interface/kv_interface.h
// states: a SuggestResult, the outputs written unless nothing was found. Nothing escapes it.
[[nodiscard]] std::int32_t SuggestSettings(const Pixel32* pixels, std::int32_t width,
                                           std::int32_t height, const SelectionRect* rect,
                                           const std::uint8_t* mask, std::int32_t direction,
                                           std::int32_t save, std::int32_t* shape,
                                           std::int32_t* difference) noexcept;
