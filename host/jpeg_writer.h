// JPEG encoding with stb_image_write: the imaging component's JPEG encoder under Wine ignores the
// quality it is given.
#pragma once

#include <string>

#include "host/image.h"
#include "host/wic.h"

// Writes IMAGE as a baseline JPEG file (quality 1..100, alpha dropped) into STREAM. The image's
// channels are reordered in place to the encoder's RGBA, so it is taken whole. WHAT starts the
// message of a failure. Throws HostError.
void WriteJpeg(IStream& stream, RgbaImage image, int quality, const std::string& what);
