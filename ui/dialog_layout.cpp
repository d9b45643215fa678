// Layout of a resizable preview dialog: how each control follows a change of the dialog's size,
// and which size the dialog opens at.
#include "ui/dialog_layout.h"

namespace {

bool Within(const LayoutRect& inner, const LayoutRect& outer) noexcept {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

}  // namespace

std::vector<LayoutRule> RulesFor(const std::vector<LayoutControl>& controls) {
    std::vector<LayoutRule> rules(controls.size(), LayoutRule::kStays);
    const LayoutControl* preview = nullptr;
    for (const LayoutControl& c : controls) {
        if (c.isPreview) preview = &c;
    }
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const LayoutControl& c = controls[i];
        if (c.isPreview) {
            rules[i] = LayoutRule::kGrows;
        } else if (c.isButton) {
            rules[i] = LayoutRule::kFollowsCorner;
        } else if (preview != nullptr && c.rect.top >= preview->rect.bottom &&
                   c.rect.right > preview->rect.left) {
            rules[i] = LayoutRule::kFollowsPreview;
        }
    }
    // A group box's contents go with it.
    for (std::size_t i = 0; i < controls.size(); ++i) {
        for (std::size_t j = 0; j < controls.size(); ++j) {
            if (rules[i] == LayoutRule::kStays && rules[j] == LayoutRule::kFollowsPreview &&
                i != j && Within(controls[i].rect, controls[j].rect)) {
                rules[i] = LayoutRule::kFollowsPreview;
            }
        }
    }
    return rules;
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
