// Why an image file could not be read, in plain words, from what its first bytes say it is: a
// file too short to be an image, a known format that is damaged, or a TIFF of a kind the imaging
// component does not read (its compression, bit depth, sample format or planes).
#pragma once

#include <optional>
#include <string>

#include "host/wic.h"

// The reason for a file whose decoding failed, read from STREAM (moved about; the caller no
// longer reads it) whose size is FILE_BYTES; nothing when its first bytes name no format known
// here, and the decoder's own reason stands.
[[nodiscard]] std::optional<std::string> UnreadableReason(IStream& stream, std::uint64_t fileBytes);
