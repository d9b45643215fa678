// Layout of a resizable preview dialog: how each control follows a change of the dialog's size,
// and which size the dialog opens at.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/canvas_pixels.h"

// A control's rectangle in the dialog's client pixels; right and bottom exclusive.
struct LayoutRect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

enum class LayoutRule : std::int32_t {
    kStays = 0,           // the controls left of the preview, and above it
    kGrows = 1,           // the preview: the new room, to the right and down
    kFollowsCorner = 2,   // OK and Cancel: the same distance from the bottom and right edges
    kFollowsPreview = 3,  // below the preview: the same distance from its bottom
};

// A control where the dialog opened it, and whether it is the preview or OK or Cancel.
struct LayoutControl {
    LayoutRect rect;
    bool isPreview;
    bool isButton;
};

// The rule of each control, in the same order. Below the preview (its top at or below the
// preview's bottom), a control that reaches across the preview's left edge or lies right of it,
// and whatever lies within such a control (a group box's contents), follows the preview's bottom:
// the preview grows down over the room it held. Every other control stays.
[[nodiscard]] std::vector<LayoutRule> RulesFor(const std::vector<LayoutControl>& controls);

// Where `opened` goes when the client has grown by `grown` since the dialog opened.
[[nodiscard]] LayoutRect Placed(const LayoutRect& opened, LayoutRule rule,
                                const CanvasSize& grown) noexcept;

// The client size the dialog opens at: `stored` when both sides lie from `minimum` (the
// template's) up to `largest` (the work area), else `minimum`.
[[nodiscard]] CanvasSize OpeningSize(const CanvasSize& stored, const CanvasSize& minimum,
                                     const CanvasSize& largest) noexcept;
