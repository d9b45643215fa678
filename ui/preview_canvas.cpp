// Preview canvas: the owner's rendering over a checkerboard, centred when small and panned by
// dragging when large, zoomed out by the wheel.
#include "ui/preview_canvas.h"

#include <algorithm>

#include "ui/scoped_gdi.h"

namespace {

// Mouse coordinates are signed 16-bit: a drag can leave the control to the left or above.
std::int32_t MouseX(LPARAM lParam) noexcept {
    return static_cast<std::int16_t>(LOWORD(static_cast<DWORD_PTR>(lParam)));
}
std::int32_t MouseY(LPARAM lParam) noexcept {
    return static_cast<std::int16_t>(HIWORD(static_cast<DWORD_PTR>(lParam)));
}

}  // namespace

bool PreviewCanvas::Attach(PreviewHost& host, HWND dialog, int controlId) noexcept {
    owner = &host;
    if (!CanvasBase::Attach(dialog, controlId)) return false;
    // Tab reaches the preview too, so that the menu keys can.
    SetWindowLongA(control, GWL_STYLE, GetWindowLongA(control, GWL_STYLE) | WS_TABSTOP);
    UpdateFit();
    return true;
}

CanvasSize PreviewCanvas::ViewSize() const noexcept {
    if (owner == nullptr) return {0, 0};
    const CanvasSize image = owner->PreviewImageSize();
    return {ZoomedExtent(image.width, scale), ZoomedExtent(image.height, scale)};
}

void PreviewCanvas::UpdateFit() noexcept {
    const CanvasSize view = ViewSize();
    fitsHorizontally = pixels.Width() >= view.width;
    fitsVertically = pixels.Height() >= view.height;
}

std::int32_t PreviewCanvas::FittingScale() const noexcept {
    if (owner == nullptr) return 1;
    return FitScale({pixels.Width(), pixels.Height()}, owner->PreviewImageSize());
}

void PreviewCanvas::Paint(HDC hdc) {
    if (Error() != CanvasError::kNone) {
        DrawError(hdc);
        return;
    }
    // The owner is recorded before the control is, so an attached canvas always has one.
    if (pixels.Words() == nullptr || control == nullptr || hdc == nullptr) return;
    const CanvasSize view = ViewSize();
    const AxisView across =
        LayoutAxis(fitsHorizontally, pixels.Width(), view.width, &imageOrigin.x);
    const AxisView down = LayoutAxis(fitsVertically, pixels.Height(), view.height, &imageOrigin.y);
    const CanvasPoint dest{across.destination, down.destination};
    const CanvasSize size{across.extent, down.extent};
    const bool ready = scale == 1
                           ? owner->RenderPreview(*this, dest, imageOrigin, size)
                           : owner->RenderZoomedPreview(*this, dest, imageOrigin, size, scale);
    // A render that failed half-way is not shown.
    if (Error() != CanvasError::kNone) DisableControl();
    if (!ready || Error() != CanvasError::kNone) return;
    Present(hdc);
}

LRESULT PreviewCanvas::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            // The preview takes the focus, so that the menu keys reach it afterwards.
            if (control != nullptr && GetFocus() != control) SetFocus(control);
            if (message == WM_LBUTTONDOWN) OnLButtonDown(MouseX(lParam), MouseY(lParam), wParam);
            break;
        case WM_GETDLGCODE: {
            // The preview's letter keys come here rather than to the dialog's search for a
            // mnemonic.
            const auto* keyMessage = reinterpret_cast<const MSG*>(lParam);
            if (keyMessage == nullptr || keyMessage->message != WM_CHAR) break;
            const WPARAM letter = keyMessage->wParam & ~WPARAM{0x20};
            if (letter != kGridKey && letter != kBeforeKey && letter != kGuideKey &&
                letter != kAlongGuidesKey) {
                break;
            }
            return CanvasBase::WindowProc(message, wParam, lParam) | DLGC_WANTCHARS;
        }
        case WM_KEYDOWN:
        case WM_KEYUP:
            if (OnKey(wParam, message == WM_KEYDOWN, lParam)) return 0;
            break;
        case WM_KILLFOCUS:
            ShowBefore(false);  // the key that held it can no longer be let go here
            break;
        case WM_MBUTTONDOWN:
            SetCapture(control);
            ShowBefore(true);
            return 0;
        case WM_MBUTTONUP:
            if (GetCapture() == control) ReleaseCapture();
            ShowBefore(false);
            return 0;
        case WM_TIMER:
            if (wParam != kNoticeTimerId) break;
            OnNoticeTimer();
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(MouseX(lParam), MouseY(lParam), wParam);
            break;
        case WM_LBUTTONUP:
            OnLButtonUp(MouseX(lParam), MouseY(lParam), wParam);
            break;
        case WM_LBUTTONDBLCLK:
            OnLButtonDblClk(MouseX(lParam), MouseY(lParam), wParam);
            break;
        case WM_MOUSEWHEEL: {
            // The wheel reports the pointer on the screen; handled here, it goes no further.
            POINT at{MouseX(lParam), MouseY(lParam)};
            ScreenToClient(control, &at);
            OnMouseWheel(at.x, at.y, static_cast<std::int16_t>(HIWORD(wParam)));
            return 0;
        }
        case WM_SIZE:
            OnResize();
            break;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != control) OnCaptureLost();
            break;
        case WM_SETCURSOR:
            if (LOWORD(static_cast<DWORD_PTR>(lParam)) == HTCLIENT && OnSetCursor()) return TRUE;
            break;
        default:
            break;
    }
    return CanvasBase::WindowProc(message, wParam, lParam);
}

bool PreviewCanvas::OnKey(WPARAM key, bool down, LPARAM flags) noexcept {
    // The context-menu key opens the menu when let go, and goes no further: a system that turns
    // the key into the menu itself would open it a second time.
    if (key == VK_APPS && !down) {
        SendMessageA(control, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control),
                     MAKELPARAM(-1, -1));
        return true;
    }
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
    if (key == kBeforeKey) {
        ShowBefore(down);
        return true;
    }
    // The rest act once per press, not again as the key repeats.
    const bool repeated = (static_cast<DWORD_PTR>(flags) & 0x40000000u) != 0;
    if (!down || (repeated && key != kGridKey)) return false;
    switch (key) {
        case kGridKey:
            ToggleGrid();
            return true;
        case kGuideKey:
            ToggleGuideDrawing();
            return true;
        case kAlongGuidesKey:
            SendMessageA(GetParent(control), WM_COMMAND,
                         MAKEWPARAM(GetDlgCtrlID(control), kStraightenAlongGuides),
                         reinterpret_cast<LPARAM>(control));
            return true;
        case kDeleteGuideKey: {
            POINT pointer{};
            GetCursorPos(&pointer);
            ScreenToClient(control, &pointer);
            DeleteGuideAt({pointer.x, pointer.y});
            return true;
        }
        default:
            return false;
    }
}

void PreviewCanvas::OnLButtonDown(std::int32_t x, std::int32_t y, WPARAM) {
    if (drawingGuides) {
        StartGuide(x, y);
        return;
    }
    if (FitsBothWays()) return;
    lastMouse = {x, y};
    panning = true;
    SetCapture(control);
    ShowPanCursor(kPanDragCursorId);
}

void PreviewCanvas::OnLButtonUp(std::int32_t x, std::int32_t y, WPARAM) {
    if (control == nullptr || GetCapture() != control) return;
    if (dragged.guide >= 0) {
        // The guide ends where the button is let go, whatever moves came before.
        MoveGuideEnd(x, y);
        EndGuide();
        ReleaseCapture();
        return;
    }
    panning = false;
    ReleaseCapture();
    // The closed hand goes with the drag, not at the next move.
    ShowPanCursor(kPanCursorId);
}

void PreviewCanvas::OnCaptureLost() noexcept {
    // Another window took the mouse mid-drag: the drag ends where it was.
    panning = false;
    if (dragged.guide >= 0) EndGuide();
    ShowBefore(false);
}

void PreviewCanvas::OnMouseMove(std::int32_t x, std::int32_t y, WPARAM) {
    const bool captured = control != nullptr && GetCapture() == control;
    if (captured && dragged.guide >= 0) {
        MoveGuideEnd(x, y);
        return;
    }
    if (drawingGuides) return;
    // A drag lasts while this control holds the capture.
    if (captured && panning) {
        const CanvasPoint old = imageOrigin;
        const CanvasSize view = ViewSize();
        // The image follows the mouse: dragging right shows pixels further left. Along an axis
        // that fits, the clamp keeps the origin 0, so such a move renders nothing.
        imageOrigin.x = ClampOrigin(imageOrigin.x + lastMouse.x - x, view.width, pixels.Width());
        imageOrigin.y = ClampOrigin(imageOrigin.y + lastMouse.y - y, view.height, pixels.Height());
        lastMouse = {x, y};
        if (imageOrigin.x != old.x || imageOrigin.y != old.y) Refresh();
        ShowPanCursor(kPanDragCursorId);
        return;
    }
    if (!FitsBothWays()) ShowPanCursor(kPanCursorId);
}

void PreviewCanvas::OnLButtonDblClk(std::int32_t x, std::int32_t y, WPARAM keys) {
    // While guides are drawn a second press starts a guide like the first.
    if (!drawingGuides) ZoomTo(scale == 1 ? FittingScale() : 1, {x, y});
    // The second press of a double-click can start a drag like the first.
    OnLButtonDown(x, y, keys);
}

void PreviewCanvas::OnMouseWheel(std::int32_t x, std::int32_t y, std::int32_t delta) noexcept {
    // A turn the other way forgets what the last one left short of a notch.
    if ((wheelDelta < 0) != (delta < 0)) wheelDelta = 0;
    wheelDelta += delta;
    std::int32_t target = scale;
    for (; wheelDelta >= WHEEL_DELTA; wheelDelta -= WHEEL_DELTA) target = ZoomInStep(target);
    for (; wheelDelta <= -WHEEL_DELTA; wheelDelta += WHEEL_DELTA) {
        target = std::min(ZoomOutStep(target), FittingScale());
    }
    ZoomTo(target, {x, y});
}

bool PreviewCanvas::OnSetCursor() const noexcept {
    if (drawingGuides) {
        SetCursor(LoadCursorA(nullptr, IDC_CROSS));
        return true;
    }
    if (FitsBothWays()) return false;
    const bool dragging = control != nullptr && GetCapture() == control && panning;
    ShowPanCursor(dragging ? kPanDragCursorId : kPanCursorId);
    return true;
}

void PreviewCanvas::ZoomTo(std::int32_t newScale, const CanvasPoint& anchor) noexcept {
    if (owner == nullptr || pixels.Words() == nullptr) return;
    newScale = std::clamp(newScale, 1, FittingScale());
    if (newScale == scale) return;
    const CanvasSize image = owner->PreviewImageSize();
    imageOrigin = {
        ZoomedOrigin(imageOrigin.x, {scale, newScale, anchor.x}, image.width, pixels.Width()),
        ZoomedOrigin(imageOrigin.y, {scale, newScale, anchor.y}, image.height, pixels.Height())};
    scale = newScale;
    UpdateFit();
    // A centred image's margins move with the scale: they show the window colour again.
    pixels.Clear(WindowColourWord());
    Refresh();
    // The pointer may rest over an image that now fits, or no longer does: choose its cursor as
    // the next move would.
    POINT pointer{};
    if (GetCursorPos(&pointer) && WindowFromPoint(pointer) == control) {
        SendMessageA(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    }
}

void PreviewCanvas::OnResize() noexcept {
    if (owner == nullptr) return;
    const CanvasSize view = ViewSize();
    // The view's point at the canvas's centre; a fitting axis has the image's centre there.
    const CanvasPoint centre{
        fitsHorizontally ? view.width / 2 : imageOrigin.x + pixels.Width() / 2,
        fitsVertically ? view.height / 2 : imageOrigin.y + pixels.Height() / 2};
    if (!ResizeToControl()) return;
    imageOrigin = {ClampOrigin(centre.x - pixels.Width() / 2, view.width, pixels.Width()),
                   ClampOrigin(centre.y - pixels.Height() / 2, view.height, pixels.Height())};
    UpdateFit();
    // A scale beyond the series' end for the new size (a fitted picture, the preview grown)
    // comes down to the fitting one, about the centre.
    if (scale > FittingScale()) {
        ZoomTo(FittingScale(), {pixels.Width() / 2, pixels.Height() / 2});
        return;
    }
    InvalidateRect(control, nullptr, FALSE);
}

void PreviewCanvas::FitWholePicture() noexcept {
    ZoomTo(FittingScale(), {pixels.Width() / 2, pixels.Height() / 2});
}

void PreviewCanvas::ShowActualPixels(const CanvasPoint& anchor) noexcept { ZoomTo(1, anchor); }

void PreviewCanvas::ShowNotice(const std::wstring& text) noexcept {
    if (control == nullptr) return;
    notice = text;
    // A second notice restarts the time of the first.
    SetTimer(control, kNoticeTimerId, kNoticeMilliseconds, nullptr);
    PresentNow();
}

void PreviewCanvas::ToggleGrid() noexcept {
    gridShown = !gridShown;
    PresentNow();
}

void PreviewCanvas::OnNoticeTimer() noexcept {
    KillTimer(control, kNoticeTimerId);
    notice.clear();
    PresentNow();
}

void PreviewCanvas::ShowPanCursor(int cursorId) const noexcept {
    // A missing cursor resource keeps the current cursor rather than hiding it.
    if (owner == nullptr) return;
    const HCURSOR cursor = LoadCursorA(owner->PreviewResources(), MAKEINTRESOURCEA(cursorId));
    if (cursor != nullptr) SetCursor(cursor);
}
