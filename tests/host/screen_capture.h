// Screen capture of the host tests: the pixels that a rectangle of the screen shows.
#pragma once

#include "host/png_io.h"
#include "platform/win32.h"

// What the screen shows in the rectangle, opaque. Throws std::runtime_error.
[[nodiscard]] RgbaImage CaptureScreen(const RECT& rect);
