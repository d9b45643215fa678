// Screen capture of the host tests: the pixels that a rectangle of the screen shows.
#pragma once

#include <string>

#include "imageio/image.h"
#include "platform/win32.h"

// What the screen shows in the rectangle, opaque. Throws std::runtime_error.
[[nodiscard]] RgbaImage CaptureScreen(const RECT& rect);

// Writes IMAGE as a PNG file (through imageio). Throws std::runtime_error.
void WriteRgbaPng(const std::string& path, const RgbaImage& image);
