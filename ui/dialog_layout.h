// Layout of a resizable preview dialog: how each control follows a change of the dialog's size,
// and which size the dialog opens at.
#pragma once

#include <cstdint>

#include "ui/canvas_pixels.h"

// A control's rectangle in the dialog's client pixels; right and bottom exclusive.
struct LayoutRect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

enum class LayoutRule : std::int32_t {
    kStays = 0,             // the controls left of the preview, and above it
    kGrows = 1,             // the preview: the new room, to the right and down
    kFollowsCorner = 2,     // OK and Cancel: the same distance from the bottom and right edges
    kFollowsPreview = 3,    // below the preview: the same distance from its bottom
};

// The rule of a control at `control` when the dialog opened, the preview at `preview`:
// `isPreview` and `isButton` (OK, Cancel) say which it is; a control whose top lies at or below
// the preview's bottom and whose left lies at or right of the preview's left follows the
// preview's bottom; every other stays.
[[nodiscard]] LayoutRule RuleFor(const LayoutRect& control, const LayoutRect& preview,
                                 bool isPreview, bool isButton) noexcept;

// Where `opened` goes when the client has grown by `grown` since the dialog opened.
[[nodiscard]] LayoutRect Placed(const LayoutRect& opened, LayoutRule rule,
                                const CanvasSize& grown) noexcept;

// The client size the dialog opens at: `stored` when both sides lie from `minimum` (the
// template's) up to `largest` (the work area), else `minimum`.
[[nodiscard]] CanvasSize OpeningSize(const CanvasSize& stored, const CanvasSize& minimum,
                                     const CanvasSize& largest) noexcept;
