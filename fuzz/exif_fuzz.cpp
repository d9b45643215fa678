// Fuzz target: an EXIF block as a photograph's file may hold it, damaged in any way. Reading its
// orientation, making it fit for a result and placing it in a TIFF file never read outside it; a
// block that is made fit reads back as upright, and a placed one keeps its size.
#include <cstdint>
#include <optional>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "imageio/photo_metadata.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const auto width = static_cast<std::uint32_t>(input.IntIn(0, 2147483647));
    const auto height = static_cast<std::uint32_t>(input.IntIn(0, 2147483647));
    const auto at = static_cast<std::uint32_t>(input.IntIn(0, 2147483647)) * 2u;
    const std::vector<std::uint8_t> exif = input.Bytes(size);
    const std::optional<int> orientation = ExifOrientation(exif);
    FuzzCheck(!orientation || (*orientation >= 1 && *orientation <= 8), "orientation 1..8");
    const std::optional<std::vector<std::uint8_t>> fitted = ExifForResult(exif, width, height);
    if (fitted) {
        FuzzCheck(orientation.has_value(), "a block made fit was readable");
        FuzzCheck(fitted->size() <= exif.size(), "made fit, never longer");
        FuzzCheck(ExifOrientation(*fitted) == 1, "made fit reads upright");
    }
    if (const std::optional<PlacedExif> placed = PlaceExifInTiff(exif, at)) {
        FuzzCheck(placed->block.size() == exif.size(), "placed, the same size");
    }
    return 0;
}
