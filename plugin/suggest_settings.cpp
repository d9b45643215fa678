// Suggested settings: the straightening the plug-in proposes for a host's picture, with the
// host's arguments checked first, saved into the settings file when the host asks.
#include "plugin/suggest_settings.h"

#include <cstddef>
#include <cstdint>
#include <optional>

#include "plugin/filter_module.h"
#include "plugin_interface/kv_interface.h"
#include "settings/settings_file.h"
#include "transform/straighten.h"
#include "transform/transform_pass.h"

namespace {

// Every pixel index of the picture must fit a ptrdiff_t, the type the estimate indexes with; a
// larger size cannot be a real buffer of this process and would wrap the index.
bool AddressableSize(std::int32_t width, std::int32_t height) noexcept {
    if (width <= 0 || height <= 0) return false;
    const std::uint64_t bytes =
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * sizeof(Pixel32);
    return bytes <= static_cast<std::uint64_t>(PTRDIFF_MAX);
}

// The host's rectangle clipped to the picture, or the whole picture when it gives none; nothing
// when no pixel of the picture is left.
std::optional<SelectionRect> RectToRead(const SelectionRect* rect, std::int32_t width,
                                        std::int32_t height) noexcept {
    if (rect == nullptr) return SelectionRect{0, 0, width, height};
    const SelectionRect clipped = ClipToImage(*rect, width, height);
    if (clipped.right <= clipped.left || clipped.bottom <= clipped.top) return std::nullopt;
    return clipped;
}

std::optional<StraightenDirection> DirectionOf(std::int32_t direction) noexcept {
    switch (direction) {
        case SuggestVerticals:
            return StraightenDirection::kVerticals;
        case SuggestHorizontals:
            return StraightenDirection::kHorizontals;
        default:
            return std::nullopt;
    }
}

bool SaveSuggestion(const Straightening& found) noexcept {
    try {
        return SaveShapeAndDifference(found.shape, found.difference, Module().SettingsFilePath());
    } catch (...) {
        return false;  // no memory for the file's path
    }
}

std::int32_t Suggest(const PictureView& picture, const SelectionRect& rect,
                     StraightenDirection direction, bool save, std::int32_t* shape,
                     std::int32_t* difference) {
    // The shape the user last confirmed decides which edge changes, as in the dialog, and the
    // profile the one the run will take.
    TrapezoidSettings current{};
    ReadSettings(Module().SettingsFilePath(), &current, /*validate=*/false);
    const std::optional<Straightening> found = SuggestStraightening(
        picture, rect, direction, current.shape, ProfileOfSetting(current.perspective));
    if (!found) return SuggestNotFound;
    *shape = found->shape;
    *difference = found->difference;
    if (!save) return SuggestFound;
    return SaveSuggestion(*found) ? SuggestFound : SuggestSaveFailed;
}

}  // namespace

std::int32_t SuggestSettings(const Pixel32* pixels, std::int32_t width, std::int32_t height,
                             const SelectionRect* rect, const std::uint8_t* mask,
                             std::int32_t direction, std::int32_t save, std::int32_t* shape,
                             std::int32_t* difference) noexcept {
    if (pixels == nullptr || shape == nullptr || difference == nullptr) return SuggestNotFound;
    if (!AddressableSize(width, height)) return SuggestNotFound;
    const std::optional<SelectionRect> area = RectToRead(rect, width, height);
    const std::optional<StraightenDirection> wanted = DirectionOf(direction);
    if (!area || !wanted) return SuggestNotFound;
    try {
        return Suggest(PictureView{pixels, width, height, mask}, *area, *wanted, save != 0, shape,
                       difference);
    } catch (...) {
        return SuggestNotFound;  // no memory to read the settings file; nothing written yet
    }
}
