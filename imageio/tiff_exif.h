// A photograph's EXIF block as a TIFF file's own directories, written through libtiff: the EXIF
// and GPS directories of the block become the file's, each value as the library's tag
// definitions hold it.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <string>
#include <vector>

namespace imageio {

// The EXIF and GPS directories of EXIF, written into TIFF before its first directory is begun;
// the first directory then gets the links (TIFFTAG_EXIFIFD, TIFFTAG_GPSIFD) and the block's
// first-directory tags that describe the photograph (its maker, model, date, author). A damaged
// block is left out with a warning; a value the library does not know is dropped.
void WriteExifDirectories(TIFF* tiff, const std::vector<std::uint8_t>& exif,
                          std::vector<std::string>& warnings);

}  // namespace imageio
