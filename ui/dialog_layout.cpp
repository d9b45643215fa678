// Layout of a resizable preview dialog: how each control follows a change of the dialog's size,
// and which size the dialog opens at.
#include "ui/dialog_layout.h"

LayoutRule RuleFor(const LayoutRect& control, const LayoutRect& preview, bool isPreview,
                   bool isButton) noexcept {
    if (isPreview) return LayoutRule::kGrows;
    if (isButton) return LayoutRule::kFollowsCorner;
    if (control.top >= preview.bottom && control.left >= preview.left) {
        return LayoutRule::kFollowsPreview;
    }
    return LayoutRule::kStays;
}

LayoutRect Placed(const LayoutRect& opened, LayoutRule rule, const CanvasSize& grown) noexcept {
    const std::int32_t dx = grown.width;
    const std::int32_t dy = grown.height;
    switch (rule) {
        case LayoutRule::kGrows:
            return {opened.left, opened.top, opened.right + dx, opened.bottom + dy};
        case LayoutRule::kFollowsCorner:
            return {opened.left + dx, opened.top + dy, opened.right + dx, opened.bottom + dy};
        case LayoutRule::kFollowsPreview:
            return {opened.left, opened.top + dy, opened.right, opened.bottom + dy};
        default:
            return opened;
    }
}

CanvasSize OpeningSize(const CanvasSize& stored, const CanvasSize& minimum,
                       const CanvasSize& largest) noexcept {
    const bool fits = stored.width >= minimum.width && stored.height >= minimum.height &&
                      stored.width <= largest.width && stored.height <= largest.height;
    return fits ? stored : minimum;
}
