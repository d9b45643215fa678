// The byte order of 16-bit samples that the imaging component's TIFF decoder hands over for a
// big-endian file. The component promises the machine's order; some versions give the file's.
#pragma once

#include <cstddef>
#include <cstdint>

// Whether a file starting with these bytes is a big-endian TIFF ("MM", classic or big).
[[nodiscard]] bool IsBigEndianTiff(const std::uint8_t* bytes, std::size_t count) noexcept;

// Whether the decoder gives a big-endian TIFF's 16-bit samples big-endian, so that they must be
// swapped: learned once per process by decoding a one-pixel file of known value.
[[nodiscard]] bool DecoderKeepsBigEndianSamples();
