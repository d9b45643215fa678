// PNG encoding with zlib: 8-bit RGB, or RGBA when some pixel is not opaque, written row by row.
#pragma once

#include <string>

#include "host/image.h"
#include "host/wic.h"

// Writes IMAGE as a PNG file into STREAM. WHAT starts the message of a failure. Throws HostError.
// With the METADATA given: the ICC profile as iCCP, the EXIF block as eXIf and the XMP packet as
// the iTXt chunk of keyword "XML:com.adobe.xmp", all before the image data.
void WritePng(IStream& stream, const RgbaImage& image, const PhotoMetadata& metadata,
              const std::string& what);
