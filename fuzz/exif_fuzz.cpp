// Fuzz target: an EXIF block as a photograph's file may hold it, damaged in any way. Checking it,
// reading its orientation and making it fit for a result never read outside it; a block made fit
// is one that passed the checks, passes them again and reads back as upright.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "imageio/exif_block.h"
#include "imageio/photo_metadata.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const auto width = static_cast<std::uint32_t>(input.IntIn(0, 2147483647));
    const auto height = static_cast<std::uint32_t>(input.IntIn(0, 2147483647));
    const std::vector<std::uint8_t> exif = input.Bytes(size);
    const std::optional<int> orientation = ExifOrientation(exif);
    FuzzCheck(!orientation || (*orientation >= 1 && *orientation <= 8), "orientation 1..8");
    const std::string problem = imageio::ExifProblem(exif);
    const std::optional<std::vector<std::uint8_t>> fitted = ExifForResult(exif, width, height);
    FuzzCheck(fitted.has_value() == problem.empty(), "made fit exactly when it passes the checks");
    if (fitted) {
        FuzzCheck(orientation.has_value(), "a block made fit was readable");
        FuzzCheck(imageio::ExifProblem(*fitted).empty(), "made fit, still sound");
        FuzzCheck(fitted->size() <= exif.size(), "made fit, never longer");
        FuzzCheck(ExifOrientation(*fitted) == 1, "made fit reads upright");
    }
    return 0;
}
