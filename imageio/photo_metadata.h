// A photograph's metadata as the commands carry it from the file they read to the file they
// write: the EXIF block (TIFF-structured, as JPEG's APP1 and PNG's eXIf hold it), the ICC profile
// and the XMP packet, and the orientation at which a viewer shows the stored pixels. Portable: no
// windows.h. Only as much of EXIF is parsed as that needs, every offset checked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct PhotoMetadata {
    std::vector<std::uint8_t> exif;  // from its byte-order mark on; empty: none
    std::vector<std::uint8_t> icc;   // the profile's bytes; empty: none
    std::string xmp;                 // the packet's XML; empty: none
    int orientation = 1;             // how a viewer turns the stored pixels: 1 (upright) to 8
    bool exifLeftBehind = false;     // the file had EXIF that is not read (a BigTIFF's)

    [[nodiscard]] bool Empty() const noexcept { return exif.empty() && icc.empty() && xmp.empty(); }
};

// The orientation tag of an EXIF block: 1 (upright) to 8. Nothing when the block is damaged (an
// offset or a count outside it, no byte-order mark); 1 when it holds no such tag or a value
// outside 1..8.
[[nodiscard]] std::optional<int> ExifOrientation(const std::vector<std::uint8_t>& exif) noexcept;

// The lens's focal length in the 35-mm frame that an EXIF block records (FocalLengthIn35mmFormat,
// in its EXIF directory), in millimetres; nothing when the block is damaged or does not say.
[[nodiscard]] std::optional<int> ExifFocalIn35mm(const std::vector<std::uint8_t>& exif) noexcept;

// The EXIF block made fit for an upright result of width x height: orientation 1, the pixel
// dimensions (where present) the result's, and the thumbnail, which would show the uncorrected
// picture, dropped. Every orientation entry of the first directory is set, the first being the
// one read. Nothing when the block fails ExifProblem's checks.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> ExifForResult(std::vector<std::uint8_t> exif,
                                                                     std::uint32_t width,
                                                                     std::uint32_t height);
