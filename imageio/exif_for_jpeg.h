// What a JPEG file's EXIF block must hold, added where a photograph's block does not say: the
// resolution and chroma siting of its first directory, the versions, colour space, components and
// pixel size of its EXIF directory, and the version of its GPS directory.
#pragma once

#include <cstdint>
#include <vector>

namespace imageio {

// EXIF (made fit for a result of WIDTH x HEIGHT, ExifProblem finding nothing wrong) with every
// tag a JPEG file's block must hold: a directory lacking some is copied to the block's end with
// them added among its own, its link moved there; no value moves. The resolution is 72 dots an
// inch, the colour space sRGB unless WITH_ICC (a profile of its own) says otherwise.
[[nodiscard]] std::vector<std::uint8_t> ExifForJpeg(std::vector<std::uint8_t> exif,
                                                    std::uint32_t width, std::uint32_t height,
                                                    bool withIcc);

}  // namespace imageio
