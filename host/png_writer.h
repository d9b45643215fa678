// PNG encoding with zlib: 8-bit RGB, or RGBA when some pixel is not opaque, written row by row.
#pragma once

#include <string>

#include "host/image.h"
#include "host/wic.h"

// Writes IMAGE as a PNG file into STREAM. WHAT starts the message of a failure. Throws HostError.
void WritePng(IStream& stream, const RgbaImage& image, const std::string& what);
