// Canvas base: a static control of a dialog turned into a 32-bit surface, its pixels kept in a
// buffer of the control's client size and its messages routed to the object.
#include "ui/canvas_base.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/wide_text.h"
#include "ui/scoped_gdi.h"

namespace {

constexpr UINT_PTR kCanvasSubclassId = 1;

// The control's messages reach the canvas object given as the subclass's reference data.
LRESULT CALLBACK CanvasProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR data) {
    auto* const canvas = reinterpret_cast<CanvasBase*>(data);
    if (message == WM_NCDESTROY) {
        canvas->Detach();
        return DefSubclassProc(window, message, wParam, lParam);
    }
    return canvas->WindowProc(message, wParam, lParam);
}

}  // namespace

std::uint32_t WindowColourWord() noexcept {
    const COLORREF colour = GetSysColor(COLOR_WINDOW);
    return static_cast<std::uint32_t>(GetRValue(colour)) << 16 |
           static_cast<std::uint32_t>(GetGValue(colour)) << 8 | GetBValue(colour);
}

CanvasBase::~CanvasBase() { Detach(); }

void CanvasBase::Detach() noexcept {
    if (!subclassed) return;
    RemoveWindowSubclass(control, CanvasProc, kCanvasSubclassId);
    subclassed = false;
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
    Detach();  // a canvas attached again leaves its earlier control
    subclassed = SetWindowSubclass(control, CanvasProc, kCanvasSubclassId,
                                   reinterpret_cast<DWORD_PTR>(this)) != FALSE;
    if (!subclassed) {
        Fail(CanvasError::kNoSubclass, true);
        return false;
    }
    return true;
}

bool CanvasBase::ResizeToControl() noexcept {
    RECT client{};
    if (control == nullptr || Error() != CanvasError::kNone || !GetClientRect(control, &client)) {
        return false;
    }
    if (client.right == pixels.Width() && client.bottom == pixels.Height()) return false;
    CanvasPixels resized;
    if (!resized.Allocate(client.right, client.bottom, WindowColourWord())) return false;
    pixels = std::move(resized);
    bitmapInfo.bmiHeader.biWidth = pixels.Width();
    bitmapInfo.bmiHeader.biHeight = -pixels.Height();  // rows top to bottom
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
    return DefSubclassProc(control, message, wParam, lParam);
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
