// Straight edges of a picture: a reduced grey copy of the selection, and the straight edges in it
// that run near one direction, found by growing regions of pixels whose gradients agree.
#pragma once

#include <cstdint>
#include <vector>

#include "transform/pixel.h"

// The selection rectangle area-averaged to at most `longestSide` pixels a side, in grey. Reduced
// pixel (i, j) stands for the image area [left + i * scaleX, left + (i + 1) * scaleX) by
// [top + j * scaleY, top + (j + 1) * scaleY).
struct ReducedGrey {
    std::int32_t width = 0;
    std::int32_t height = 0;
    double left = 0;
    double top = 0;
    double scaleX = 1;
    double scaleY = 1;
    std::vector<float> grey;      // 0..255, composited over black by alpha
    std::vector<float> selected;  // the share of selected pixels; empty without a mask
};

// An edge as a straight segment between two points in image coordinates, and its length in
// reduced pixels, the weight it carries.
struct EdgeSegment {
    double x1;
    double y1;
    double x2;
    double y2;
    double length;
};

// The reduced grey copy of the rectangle, which must lie inside the image; empty (width 0) when
// the rectangle or the image is.
[[nodiscard]] ReducedGrey ReduceToGrey(const PictureView& picture, const SelectionRect& rect,
                                       std::int32_t longestSide);

// The straight edges of the reduced copy within 30 degrees of vertical (`nearVertical`) or of
// horizontal, in image coordinates. Edges shorter than a fortieth of the copy's longest side (and
// than 10 pixels), curved edges, texture and noise give none; so do pixels next to unselected
// ones.
[[nodiscard]] std::vector<EdgeSegment> FindStraightEdges(const ReducedGrey& reduced,
                                                         bool nearVertical);
