// The preview canvas's guides and its view of the picture before the correction: guides drawn,
// moved by their ends and removed with the mouse and keys, kept in the source image's
// coordinates; the uncorrected picture shown while a key or the middle button is held.
#include <algorithm>
#include <cmath>

#include "ui/preview_canvas.h"

ViewMapping PreviewCanvas::Mapping() const noexcept {
    const CanvasSize view = ViewSize();
    // Where the view's first pixel lies on the canvas: centred along an axis that fits, else
    // panned to the origin.
    const double x = fitsHorizontally ? (pixels.Width() - view.width) / 2 : -imageOrigin.x;
    const double y = fitsVertically ? (pixels.Height() - view.height) / 2 : -imageOrigin.y;
    return {static_cast<double>(scale), x, y};
}

ImagePoint PreviewCanvas::SourceUnder(std::int32_t x, std::int32_t y) const noexcept {
    const ImagePoint shown = Mapping().ToImage(x + 0.5, y + 0.5);
    return owner != nullptr ? owner->SourcePoint(shown) : shown;
}

std::vector<Guide> PreviewCanvas::ShownGuides() const {
    std::vector<Guide> shown;
    if (owner == nullptr) return shown;
    const ViewMapping mapping = Mapping();
    shown.reserve(guides.size());
    for (const Guide& g : guides) {
        shown.push_back(
            {mapping.ToCanvas(owner->ShownPoint(g.a)), mapping.ToCanvas(owner->ShownPoint(g.b))});
    }
    return shown;
}

void PreviewCanvas::StartGuide(std::int32_t x, std::int32_t y) {
    const GuideEnd end = GuideEndNear(ShownGuides(), {x + 0.5, y + 0.5}, kGuideReach);
    if (end.guide >= 0) {
        dragged = end;
    } else {
        const ImagePoint at = SourceUnder(x, y);
        guides.push_back({at, at});
        dragged = {static_cast<std::int32_t>(guides.size()) - 1, 1};
    }
    SetCapture(control);
}

void PreviewCanvas::MoveGuideEnd(std::int32_t x, std::int32_t y) noexcept {
    if (dragged.guide < 0 || static_cast<std::size_t>(dragged.guide) >= guides.size()) return;
    Guide& g = guides[static_cast<std::size_t>(dragged.guide)];
    (dragged.end == 0 ? g.a : g.b) = SourceUnder(x, y);
    PresentNow();
}

void PreviewCanvas::EndGuide() noexcept {
    const auto index = static_cast<std::size_t>(dragged.guide);
    dragged = {-1, 0};
    if (index >= guides.size()) return;
    // A click without a drag leaves no guide of a point.
    const Guide shown = ShownGuides()[index];
    if (std::hypot(shown.b.x - shown.a.x, shown.b.y - shown.a.y) < kGuideReach / 2) {
        guides.erase(guides.begin() + static_cast<std::ptrdiff_t>(index));
    }
    PresentNow();
}

bool PreviewCanvas::DeleteGuideAt(const CanvasPoint& at) noexcept {
    if (dragged.guide >= 0) return false;  // not while one is drawn
    const std::int32_t index = GuideNear(ShownGuides(), {at.x + 0.5, at.y + 0.5}, kGuideReach);
    if (index < 0) return false;
    guides.erase(guides.begin() + index);
    PresentNow();
    return true;
}

void PreviewCanvas::ClearGuides() noexcept {
    if (dragged.guide >= 0 && GetCapture() == control) ReleaseCapture();
    dragged = {-1, 0};
    guides.clear();
    PresentNow();
}

void PreviewCanvas::ToggleGuideDrawing() noexcept {
    drawingGuides = !drawingGuides;
    // The cursor changes at once, not at the next move.
    POINT pointer{};
    if (control != nullptr && GetCursorPos(&pointer) && WindowFromPoint(pointer) == control) {
        SendMessageA(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    }
}

void PreviewCanvas::ShowBefore(bool before) noexcept {
    if (before == showingBefore) return;
    showingBefore = before;
    Refresh();
}
