// The selection of a run as kvhost reads it: the image and its mask image from their files.
#include "host/selection.h"

#include <utility>

#include "host/host_error.h"
#include "host/image_file.h"
#include "host/memory_limit.h"

std::vector<std::uint8_t> ReadMask(const std::string& path, const RgbaImage& image) {
    GreyImage grey = ReadGreyImage(path, RunBytesPerPixel(/*withMask=*/true));
    CheckMaskSize(path, grey, image);
    return MaskFromGrey(std::move(grey));
}

SelectedImage ReadSelectedImage(const std::string& input,
                                const std::optional<std::string>& maskPath,
                                const std::optional<SelectionRect>& rect) {
    const std::uint32_t bytesPerPixel = RunBytesPerPixel(maskPath.has_value());
    // The mask first: its decoding needs room that the images take later.
    std::optional<GreyImage> maskImage;
    if (maskPath) maskImage = ReadGreyImage(*maskPath, bytesPerPixel);
    SelectedImage selected;
    selected.image = ReadImage(input, bytesPerPixel);
    if (maskImage) {
        CheckMaskSize(*maskPath, *maskImage, selected.image);
        selected.mask = MaskFromGrey(std::move(*maskImage));
    }
    selected.rect = ChooseRect(selected.image, selected.mask, maskPath.value_or(""), rect);
    return selected;
}
