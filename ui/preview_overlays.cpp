// What the preview canvas draws over the picture it shows, never into its pixels: the grid, the
// guides, the corner label (the scale, "Before"), the notice, composed off-screen with the buffer
// and copied in one blit.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "ui/preview_canvas.h"
#include "ui/scoped_gdi.h"

namespace {

constexpr int kLabelMargin = 3;   // between the scale's box and the canvas's edges
constexpr int kLabelPadding = 2;  // between the box and its text
// A guide is drawn through this many points of its line, each where the picture shows it, so
// that it bends as the correction bends it; a yellow line on a black one, its ends as squares.
constexpr int kGuideSteps = 16;
constexpr int kGuideHandle = 3;  // half the side of an end's square
constexpr COLORREF kGuideColour = RGB(255, 230, 0);

// A pen for the length of a scope.
class ScopedPen {
   public:
    ScopedPen(int width, COLORREF colour) noexcept : pen(CreatePen(PS_SOLID, width, colour)) {}
    ~ScopedPen() {
        if (pen != nullptr) DeleteObject(pen);
    }
    ScopedPen(const ScopedPen&) = delete;
    ScopedPen& operator=(const ScopedPen&) = delete;
    [[nodiscard]] HGDIOBJ Get() const noexcept {
        return pen != nullptr ? pen : GetStockObject(BLACK_PEN);
    }

   private:
    HPEN pen;
};

POINT Rounded(const ImagePoint& p) noexcept {
    return {static_cast<LONG>(std::lround(p.x)), static_cast<LONG>(std::lround(p.y))};
}

}  // namespace

void PreviewCanvas::Present(HDC hdc) const noexcept {
    if (scale == 1 && notice.empty() && !gridShown && !showingBefore && guides.empty()) {
        Blit(hdc);
    } else {
        BlitWithLabels(hdc);
    }
}

void PreviewCanvas::PresentNow() const noexcept {
    if (control == nullptr || pixels.Words() == nullptr || Error() != CanvasError::kNone) return;
    const WindowDc dc(control);
    if (dc.Get() != nullptr) Present(dc.Get());
}

void PreviewCanvas::BlitWithLabels(HDC hdc) const noexcept {
    const OffscreenDc offscreen(hdc, pixels.Width(), pixels.Height());
    if (offscreen.Get() == nullptr) {  // no room to compose: the image without its labels
        Blit(hdc);
        return;
    }
    Blit(offscreen.Get());
    if (gridShown) DrawGrid(offscreen.Get());
    if (!guides.empty()) DrawGuides(offscreen.Get());
    if (scale != 1 || showingBefore) DrawScale(offscreen.Get());
    if (!notice.empty()) DrawNotice(offscreen.Get());
    BitBlt(hdc, 0, 0, pixels.Width(), pixels.Height(), offscreen.Get(), 0, 0, SRCCOPY);
}

void PreviewCanvas::DrawGrid(HDC hdc) const noexcept {
    const auto black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    const auto white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    const std::int32_t width = pixels.Width();
    const std::int32_t height = pixels.Height();
    // The line at `at` across the canvas (horizontal) or down it, in dashes.
    const auto line = [&](std::int32_t at, bool horizontal) {
        const std::int32_t length = horizontal ? width : height;
        for (std::int32_t from = 0; from < length; from += kGridDash) {
            const std::int32_t to = std::min(from + kGridDash, length);
            const RECT dash = horizontal ? RECT{from, at, to, at + 1} : RECT{at, from, at + 1, to};
            FillRect(hdc, &dash, from / kGridDash % 2 == 0 ? black : white);
        }
    };
    for (std::int32_t x = width / 2 % kGridSpacing; x < width; x += kGridSpacing) line(x, false);
    for (std::int32_t y = height / 2 % kGridSpacing; y < height; y += kGridSpacing) line(y, true);
}

void PreviewCanvas::DrawGuides(HDC hdc) const noexcept {
    if (owner == nullptr) return;
    const ViewMapping mapping = Mapping();
    const ScopedPen outline(3, RGB(0, 0, 0));
    const ScopedPen line(1, kGuideColour);
    const auto black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    for (const Guide& g : guides) {
        POINT points[kGuideSteps + 1];
        for (int i = 0; i <= kGuideSteps; ++i) {
            const double f = static_cast<double>(i) / kGuideSteps;
            const ImagePoint at{g.a.x + (g.b.x - g.a.x) * f, g.a.y + (g.b.y - g.a.y) * f};
            points[i] = Rounded(mapping.ToCanvas(owner->ShownPoint(at)));
        }
        for (const HGDIOBJ pen : {outline.Get(), line.Get()}) {
            const SelectedObject selected(hdc, pen);
            Polyline(hdc, points, kGuideSteps + 1);
        }
        for (const POINT& end : {points[0], points[kGuideSteps]}) {
            const RECT handle{end.x - kGuideHandle, end.y - kGuideHandle, end.x + kGuideHandle + 1,
                              end.y + kGuideHandle + 1};
            FillRect(hdc, &handle, black);
            const SelectedObject selected(hdc, line.Get());
            Rectangle(hdc, handle.left + 1, handle.top + 1, handle.right - 1, handle.bottom - 1);
        }
    }
}

void PreviewCanvas::DrawScale(HDC hdc) const noexcept {
    std::wstring label = showingBefore ? beforeLabel : std::wstring();
    if (scale != 1) {
        if (!label.empty()) label += L"  ";
        label += L"1:" + std::to_wstring(scale);
    }
    const wchar_t* text = label.c_str();
    const int length = static_cast<int>(label.size());
    const auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    const SelectedObject selected(hdc, font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
    RECT box{0, 0, 0, 0};
    DrawTextW(hdc, text, length, &box, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    // White on black in the bottom-right corner: legible over any image.
    const LONG width = box.right + 2 * kLabelPadding;
    const LONG height = box.bottom + 2 * kLabelPadding;
    box.right = pixels.Width() - kLabelMargin;
    box.bottom = pixels.Height() - kLabelMargin;
    box.left = box.right - width;
    box.top = box.bottom - height;
    FillRect(hdc, &box, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SetTextColor(hdc, RGB(255, 255, 255));
    SetBkMode(hdc, TRANSPARENT);
    DrawTextW(hdc, text, length, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void PreviewCanvas::DrawNotice(HDC hdc) const noexcept {
    const auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    const SelectedObject selected(hdc, font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
    const UINT format = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
    RECT box{0, 0, pixels.Width() - 2 * (kLabelMargin + kLabelPadding), 0};
    DrawTextW(hdc, notice.c_str(), -1, &box, format | DT_CALCRECT);
    // White on black across the top, as the scale is drawn: legible over any image.
    RECT back{kLabelMargin, kLabelMargin, pixels.Width() - kLabelMargin,
              kLabelMargin + box.bottom + 2 * kLabelPadding};
    FillRect(hdc, &back, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SetTextColor(hdc, RGB(255, 255, 255));
    SetBkMode(hdc, TRANSPARENT);
    InflateRect(&back, -kLabelPadding, -kLabelPadding);
    DrawTextW(hdc, notice.c_str(), -1, &back, format);
}
