// PNG files of the test tools: screenshots written as RGBA PNG.
#pragma once

#include <string>

#include "host/image.h"

// Writes an RGBA PNG file. Throws HostError and leaves no partial file behind.
void WriteRgbaPng(const std::string& path, const RgbaImage& image);
