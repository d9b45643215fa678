// A photograph's EXIF block as a TIFF file's own directories, written through libtiff: the EXIF
// and GPS directories of the block become the file's, each value as the library's tag
// definitions hold it, the maker note's offsets kept pointing into it.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <string>
#include <vector>

namespace imageio {

// The EXIF and GPS directories of EXIF, written into TIFF before its first directory is begun;
// the first directory then gets the links (TIFFTAG_EXIFIFD, TIFFTAG_GPSIFD) and the block's
// first-directory tags that describe the photograph (its maker, model, date, author). The EXIF
// directory gets what a TIFF file's must hold where the block does not say (WITH_ICC: the colour
// space is the profile's), and loses what only JPEG holds. A block that fails ExifProblem is left
// out with a warning; a value the library does not know is dropped. Returns where the EXIF
// directory is in the file, 0 when none.
std::uint64_t WriteExifDirectories(TIFF* tiff, const std::vector<std::uint8_t>& exif, bool withIcc,
                                   std::vector<std::string>& warnings);

// The first directory's resolution: the EXIF block's, else 72 dots an inch.
void SetResolution(TIFF* tiff, const std::vector<std::uint8_t>& exif);

// The maker note of EXIF, once FILE is written with it in the EXIF directory at EXIF_AT: when its
// entries point at their values through offsets from the block's start, those offsets moved by
// as far as libtiff moved the note, so that they point into it where it now lies.
void PlaceMakerNote(std::vector<std::uint8_t>& file, std::uint64_t exifAt,
                    const std::vector<std::uint8_t>& exif);

}  // namespace imageio
