// The EXIF block of a TIFF photograph: the tags of its first directory that describe the
// photograph, and its EXIF (with its interoperability directory) and GPS directories, gathered
// into a block such as a JPEG file holds, so that every format carries them alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imageio/exif_block.h"

namespace imageio {

// The block of the classic TIFF file FILE, in the file's byte order: its description, maker,
// model, resolution, software, date, artist and copyright, and its EXIF and GPS directories; the
// maker note's offsets moved with it. Empty when the file holds none of them but its resolution,
// and when its directories fail ExifProblem's checks, PROBLEM then saying why.
[[nodiscard]] std::vector<std::uint8_t> ExifOfTiff(const ExifView& file, std::string& problem);

}  // namespace imageio
