// A photograph turned upright: its stored pixels as a viewer shows them under the EXIF
// orientation 1 to 8 (2 mirrored, 3 turned half round, 4 upside-down mirror, 5 transposed,
// 6 turned a quarter clockwise to view, 7 transversed, 8 a quarter anticlockwise). Portable.
#pragma once

#include "imageio/image.h"

// The image as shown under ORIENTATION; 1, or any value outside 2..8, leaves it as it is. The
// quarter turns and the transpositions swap its width and height.
[[nodiscard]] RgbaImage Upright(RgbaImage image, int orientation);
