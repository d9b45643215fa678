// TIFF writing: uncompressed 8-bit RGB, or RGBA when some pixel is not opaque, in strips, with
// the photograph's ICC profile, XMP and EXIF as the format's own tags.
#pragma once

#include <string>

#include "host/image.h"
#include "host/wic.h"

// Writes IMAGE as the TIFF file PATH into STREAM with METADATA (its EXIF block already made fit
// for the image; one that cannot be placed is left out with a warning). Throws HostError.
void WriteTiff(IStream& stream, const RgbaImage& image, const PhotoMetadata& metadata,
               const std::string& path);
