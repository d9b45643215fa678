// Fuzz target: any mask and size through the selection scan, against a byte-by-byte reading.
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "selection/selection_scan.h"
#include "selection/selection_scan_reference.h"

namespace {

bool SameRect(const SelectionRect& a, const SelectionRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::int32_t width = input.IntIn(-3, 64);
    const std::int32_t height = input.IntIn(-3, 64);
    const bool empty = width <= 0 || height <= 0;
    // A mask of exactly width x height bytes: mostly unselected, as real selections are.
    std::vector<std::uint8_t> mask =
        input.Bytes(empty ? 0 : static_cast<std::size_t>(width * height));
    for (std::uint8_t& byte : mask) byte = byte < 128 ? kUnselected : byte;
    const SelectionRect r = ScanSelectionBounds(empty ? nullptr : mask.data(), width, height);
    if (empty) {
        FuzzCheck(r.right <= r.left && r.bottom <= r.top, "a size of 0 or below scans empty");
        return 0;
    }
    FuzzCheck(SameRect(r, ReferenceSelectionBounds(mask, width, height)), "same as byte by byte");
    return 0;
}
