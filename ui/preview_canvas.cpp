// Preview canvas: a static control of a dialog turned into a 32-bit preview surface that shows
// the owner's rendering over a checkerboard, centred when small and panned by dragging when large.
#include "ui/preview_canvas.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/wide_text.h"
#include "ui/preview_dialog.h"
#include "ui/scoped_gdi.h"

namespace {

// The canvas most recently attached: the subclassed control reaches its object through it.
CanvasBase* currentCanvas = nullptr;

LRESULT CALLBACK CanvasProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (currentCanvas == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    return currentCanvas->WindowProc(message, wParam, lParam);
}

// A device context of a window for the length of one refresh.
class WindowDc {
   public:
    explicit WindowDc(HWND window) noexcept : owner(window), hdc(GetDC(window)) {}
    ~WindowDc() {
        if (hdc != nullptr) ReleaseDC(owner, hdc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    [[nodiscard]] HDC Get() const noexcept { return hdc; }

   private:
    HWND owner;
    HDC hdc;
};

// The paint protocol of one WM_PAINT.
class PaintDc {
   public:
    explicit PaintDc(HWND window) noexcept : owner(window) { BeginPaint(window, &paint); }
    ~PaintDc() { EndPaint(owner, &paint); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    [[nodiscard]] HDC Get() const noexcept { return paint.hdc; }

   private:
    HWND owner;
    PAINTSTRUCT paint{};
};

// The system window colour as a display word: red in bits 16-23, blue in 0-7.
std::uint32_t WindowColourWord() noexcept {
    const COLORREF colour = GetSysColor(COLOR_WINDOW);
    return static_cast<std::uint32_t>(GetRValue(colour)) << 16 |
           static_cast<std::uint32_t>(GetGValue(colour)) << 8 | GetBValue(colour);
}

// Mouse coordinates are signed 16-bit: a drag can leave the control to the left or above.
std::int32_t MouseX(LPARAM lParam) noexcept {
    return static_cast<std::int16_t>(LOWORD(static_cast<DWORD_PTR>(lParam)));
}
std::int32_t MouseY(LPARAM lParam) noexcept {
    return static_cast<std::int16_t>(HIWORD(static_cast<DWORD_PTR>(lParam)));
}

}  // namespace

CanvasBase::~CanvasBase() {
    if (currentCanvas == this) currentCanvas = nullptr;
}

bool CanvasBase::Attach(HWND dialog, int controlId) noexcept {
    control = GetDlgItem(dialog, controlId);
    if (control == nullptr) {
        Fail(CanvasError::kNoControl, false);
        return false;
    }
    RECT client{};
    if (!GetClientRect(control, &client)) {
        Fail(CanvasError::kNoClientRect, true);
        return false;
    }
    if (!pixels.Allocate(client.right, client.bottom, WindowColourWord())) {
        Fail(CanvasError::kNoBuffer, true);
        return false;
    }
    std::memset(&bitmapInfo, 0, sizeof bitmapInfo);
    bitmapInfo.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bitmapInfo.bmiHeader.biWidth = pixels.Width();
    bitmapInfo.bmiHeader.biHeight = -pixels.Height();  // rows top to bottom
    bitmapInfo.bmiHeader.biPlanes = 1;
    bitmapInfo.bmiHeader.biBitCount = 32;
    bitmapInfo.bmiHeader.biCompression = BI_RGB;
    // Before subclassing: the first message through the new procedure must find this canvas.
    currentCanvas = this;
    previousProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongA(control, GWL_WNDPROC, reinterpret_cast<LONG>(CanvasProc)));
    if (previousProcedure == nullptr) {
        Fail(CanvasError::kNoSubclass, true);
        return false;
    }
    return true;
}

void CanvasBase::Refresh() noexcept {
    if (control == nullptr) return;
    const WindowDc dc(control);
    if (dc.Get() == nullptr) {
        Fail(CanvasError::kNoDeviceContext, false);
        return;
    }
    Paint(dc.Get());
}

void CanvasBase::PutPixel(std::int32_t x, std::int32_t y, Pixel32 source,
                          std::uint8_t alpha) noexcept {
    // The buffer records the error itself; the control stops taking input.
    if (!pixels.PutPixel(x, y, source, alpha)) DisableControl();
}

void CanvasBase::DrawError(HDC hdc) noexcept {
    if (hdc == nullptr) return;
    RECT client{};
    GetClientRect(control, &client);
    // The exclamation mark is the full-width one of code page 932.
    char text[512];
    std::snprintf(text, sizeof text, "preview error\x81\x49\nerror number:%d",
                  static_cast<int>(pixels.Error()));
    // Drawn as wide text, so the mark shows right whatever the system's code page.
    wchar_t wide[512];
    if (MultiByteToWideChar(kShiftJisCodePage, 0, text, -1, wide, 512) <= 0) return;
    const int previousMode = SetBkMode(hdc, TRANSPARENT);
    DrawTextW(hdc, wide, -1, &client, 0);
    SetBkMode(hdc, previousMode);
}

LRESULT CanvasBase::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        const PaintDc dc(control);
        Paint(dc.Get());
    }
    return CallWindowProcA(previousProcedure, control, message, wParam, lParam);
}

void CanvasBase::Fail(CanvasError why, bool disableControl) noexcept {
    pixels.Fail(why);
    if (disableControl) DisableControl();
}

void CanvasBase::DisableControl() const noexcept {
    if (control != nullptr) EnableWindow(control, FALSE);
}

void CanvasBase::Blit(HDC hdc) const noexcept {
    StretchDIBits(hdc, 0, 0, pixels.Width(), pixels.Height(), 0, 0, pixels.Width(), pixels.Height(),
                  pixels.Words(), &bitmapInfo, DIB_RGB_COLORS, SRCCOPY);
}

namespace {

constexpr int kLabelMargin = 3;   // between the scale's box and the canvas's edges
constexpr int kLabelPadding = 2;  // between the box and its text

}  // namespace

bool PreviewCanvas::Attach(PreviewDialog& dialog, int controlId) noexcept {
    owner = &dialog;
    if (!CanvasBase::Attach(dialog.Window(), controlId)) return false;
    // Tab reaches the preview too, so that the menu keys can.
    SetWindowLongA(control, GWL_STYLE, GetWindowLongA(control, GWL_STYLE) | WS_TABSTOP);
    UpdateFit();
    return true;
}

CanvasSize PreviewCanvas::ViewSize() const noexcept {
    if (owner == nullptr) return {0, 0};
    return {ZoomedExtent(owner->ImageWidth(), scale), ZoomedExtent(owner->ImageHeight(), scale)};
}

void PreviewCanvas::UpdateFit() noexcept {
    const CanvasSize view = ViewSize();
    fitsHorizontally = pixels.Width() >= view.width;
    fitsVertically = pixels.Height() >= view.height;
}

std::int32_t PreviewCanvas::FittingScale() const noexcept {
    if (owner == nullptr) return 1;
    return FitScale({pixels.Width(), pixels.Height()}, {owner->ImageWidth(), owner->ImageHeight()});
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

void PreviewCanvas::Present(HDC hdc) const noexcept {
    if (scale == 1 && notice.empty() && !gridShown) {
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
    if (scale != 1) DrawScale(offscreen.Get());
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

void PreviewCanvas::DrawScale(HDC hdc) const noexcept {
    char text[16];
    const int length = std::snprintf(text, sizeof text, "1:%d", static_cast<int>(scale));
    if (length <= 0) return;
    const auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    const SelectedObject selected(hdc, font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
    RECT box{0, 0, 0, 0};
    DrawTextA(hdc, text, length, &box, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
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
    DrawTextA(hdc, text, length, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
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

LRESULT PreviewCanvas::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            // The preview takes the focus, so that the menu keys reach it afterwards.
            if (control != nullptr && GetFocus() != control) SetFocus(control);
            if (message == WM_LBUTTONDOWN) OnLButtonDown(MouseX(lParam), MouseY(lParam), wParam);
            break;
        case WM_GETDLGCODE: {
            // The grid's key comes here rather than to the dialog's search for a mnemonic.
            const auto* keyMessage = reinterpret_cast<const MSG*>(lParam);
            if (keyMessage == nullptr || keyMessage->message != WM_CHAR ||
                (keyMessage->wParam | 0x20) != (kGridKey | 0x20)) {
                break;
            }
            return CanvasBase::WindowProc(message, wParam, lParam) | DLGC_WANTCHARS;
        }
        case WM_KEYDOWN:
            if (wParam != kGridKey || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) {
                break;
            }
            ToggleGrid();
            return 0;
        case WM_KEYUP:
            // The context-menu key opens the menu here, and goes no further: a system that
            // turns the key into the menu itself would open it a second time.
            if (wParam != VK_APPS) break;
            SendMessageA(control, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control),
                         MAKELPARAM(-1, -1));
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
        case WM_SETCURSOR:
            if (LOWORD(static_cast<DWORD_PTR>(lParam)) == HTCLIENT && OnSetCursor()) return TRUE;
            break;
        default:
            break;
    }
    return CanvasBase::WindowProc(message, wParam, lParam);
}

void PreviewCanvas::OnLButtonDown(std::int32_t x, std::int32_t y, WPARAM) {
    if (FitsBothWays()) return;
    lastMouse = {x, y};
    SetCapture(control);
    ShowPanCursor(kPanDragCursorId);
}

void PreviewCanvas::OnLButtonUp(std::int32_t, std::int32_t, WPARAM) {
    if (control == nullptr || GetCapture() != control) return;
    ReleaseCapture();
    // The closed hand goes with the drag, not at the next move.
    ShowPanCursor(kPanCursorId);
}

void PreviewCanvas::OnMouseMove(std::int32_t x, std::int32_t y, WPARAM) {
    // A drag lasts while this control holds the capture.
    if (control != nullptr && GetCapture() == control) {
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
    ZoomTo(scale == 1 ? FittingScale() : 1, {x, y});
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
    if (FitsBothWays()) return false;
    const bool dragging = control != nullptr && GetCapture() == control;
    ShowPanCursor(dragging ? kPanDragCursorId : kPanCursorId);
    return true;
}

void PreviewCanvas::ZoomTo(std::int32_t newScale, const CanvasPoint& anchor) noexcept {
    if (owner == nullptr || pixels.Words() == nullptr) return;
    newScale = std::clamp(newScale, 1, FittingScale());
    if (newScale == scale) return;
    imageOrigin = {ZoomedOrigin(imageOrigin.x, {scale, newScale, anchor.x}, owner->ImageWidth(),
                                pixels.Width()),
                   ZoomedOrigin(imageOrigin.y, {scale, newScale, anchor.y}, owner->ImageHeight(),
                                pixels.Height())};
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
    const HCURSOR cursor =
        LoadCursorA(owner->OwningModule().Instance(), MAKEINTRESOURCEA(cursorId));
    if (cursor != nullptr) SetCursor(cursor);
}
