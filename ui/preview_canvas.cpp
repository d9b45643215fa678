// Preview canvas: a static control of a dialog turned into a 32-bit preview surface that shows
// the owner's rendering over a checkerboard, centred when small and panned by dragging when large.
#include "ui/preview_canvas.h"

#include <cstdio>
#include <cstring>

#include "plugin/filter_module.h"
#include "plugin/wide_text.h"
#include "ui/preview_dialog.h"

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

bool PreviewCanvas::Attach(PreviewDialog& dialog, int controlId) noexcept {
    owner = &dialog;
    if (!CanvasBase::Attach(dialog.Window(), controlId)) return false;
    fitsHorizontally = pixels.Width() >= dialog.ImageWidth();
    fitsVertically = pixels.Height() >= dialog.ImageHeight();
    return true;
}

void PreviewCanvas::Paint(HDC hdc) {
    if (Error() != CanvasError::kNone) {
        DrawError(hdc);
        return;
    }
    // The owner is recorded before the control is, so an attached canvas always has one.
    if (pixels.Words() == nullptr || control == nullptr || hdc == nullptr) return;
    const AxisView across =
        LayoutAxis(fitsHorizontally, pixels.Width(), owner->ImageWidth(), &imageOrigin.x);
    const AxisView down =
        LayoutAxis(fitsVertically, pixels.Height(), owner->ImageHeight(), &imageOrigin.y);
    const bool ready =
        owner->RenderPreview(*this, CanvasPoint{across.destination, down.destination}, imageOrigin,
                             CanvasSize{across.extent, down.extent});
    // A render that failed half-way is not shown.
    if (Error() != CanvasError::kNone) DisableControl();
    if (!ready || Error() != CanvasError::kNone) return;
    Blit(hdc);
}

LRESULT PreviewCanvas::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOUSEMOVE:
            OnMouseMove(MouseX(lParam), MouseY(lParam), wParam);
            break;
        case WM_LBUTTONDOWN:
            OnLButtonDown(MouseX(lParam), MouseY(lParam), wParam);
            break;
        case WM_LBUTTONUP:
            OnLButtonUp(MouseX(lParam), MouseY(lParam), wParam);
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
    if (control != nullptr && GetCapture() == control) ReleaseCapture();
}

void PreviewCanvas::OnMouseMove(std::int32_t x, std::int32_t y, WPARAM) {
    // A drag lasts while this control holds the capture.
    if (control != nullptr && GetCapture() == control) {
        const CanvasPoint old = imageOrigin;
        // The image follows the mouse: dragging right shows pixels further left.
        imageOrigin.x =
            ClampOrigin(imageOrigin.x + lastMouse.x - x, owner->ImageWidth(), pixels.Width());
        imageOrigin.y =
            ClampOrigin(imageOrigin.y + lastMouse.y - y, owner->ImageHeight(), pixels.Height());
        lastMouse = {x, y};
        if (imageOrigin.x != old.x || imageOrigin.y != old.y) Refresh();
        ShowPanCursor(kPanDragCursorId);
        return;
    }
    if (!FitsBothWays()) ShowPanCursor(kPanCursorId);
}

void PreviewCanvas::ShowPanCursor(int cursorId) const noexcept {
    // A missing cursor resource keeps the current cursor rather than hiding it.
    const HCURSOR cursor = LoadCursorA(Module().Instance(), MAKEINTRESOURCEA(cursorId));
    if (cursor != nullptr) SetCursor(cursor);
}
