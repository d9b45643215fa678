// Canvas base: a static control of a dialog turned into a 32-bit surface, its pixels kept in a
// buffer of the control's client size and its messages routed to the object.
#pragma once

#include <cstdint>

#include "platform/win32.h"
#include "transform/pixel.h"
#include "ui/canvas_pixels.h"

// The system window colour as a display word: red in bits 16-23, blue in 0-7.
[[nodiscard]] std::uint32_t WindowColourWord() noexcept;

class CanvasBase {
   public:
    CanvasBase() = default;
    // Releases the buffer and the control's subclass. The control is destroyed with the dialog
    // window, before the canvas.
    virtual ~CanvasBase();
    CanvasBase(const CanvasBase&) = delete;
    CanvasBase& operator=(const CanvasBase&) = delete;

    // Binds the canvas to control `controlId` of `dialog`: a buffer of its client size in the
    // window colour, and the control's messages routed here. False, with the error recorded,
    // when any step fails.
    bool Attach(HWND dialog, int controlId) noexcept;
    // Gives the control its own procedure back; the control goes on showing the last picture.
    void Detach() noexcept;
    // A new buffer of the control's client size in the window colour, when that size changed;
    // true when it did. Keeps the old buffer when the new one cannot be had.
    bool ResizeToControl() noexcept;
    // Repaints the control at once, outside the paint cycle.
    void Refresh() noexcept;
    // Composites one pixel at canvas position (x, y); outside the canvas it records error 6,
    // disables the control and writes nothing.
    void PutPixel(std::int32_t x, std::int32_t y, Pixel32 source, std::uint8_t alpha) noexcept;
    // Draws the two-line error text with the error number over the control.
    void DrawError(HDC hdc) noexcept;

    virtual void Paint(HDC hdc) = 0;
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    [[nodiscard]] CanvasError Error() const noexcept { return pixels.Error(); }
    [[nodiscard]] const CanvasPixels& Pixels() const noexcept { return pixels; }
    // For renderers that write straight into the buffer; a paint that leaves an error behind
    // disables the control, as PutPixel does.
    [[nodiscard]] CanvasPixels& Buffer() noexcept { return pixels; }
    [[nodiscard]] HWND Control() const noexcept { return control; }

   protected:
    // Records a failure; errors that leave the control unusable also disable it.
    void Fail(CanvasError why, bool disableControl) noexcept;
    void DisableControl() const noexcept;
    // Copies the whole buffer 1:1 into `hdc`.
    void Blit(HDC hdc) const noexcept;

    bool subclassed = false;
    HWND control = nullptr;
    BITMAPINFO bitmapInfo{};
    CanvasPixels pixels;
};
