// Preview canvas: a static control of a dialog turned into a 32-bit preview surface that shows
// the owner's rendering over a checkerboard, centred when small and panned by dragging when large.
#pragma once

#include <cstdint>

#include "plugin/win32.h"
#include "transform/pixel.h"
#include "ui/canvas_pixels.h"

class PreviewDialog;

class CanvasBase {
   public:
    CanvasBase() = default;
    // Releases the buffer. The control is destroyed with the dialog window, before the canvas.
    virtual ~CanvasBase();
    CanvasBase(const CanvasBase&) = delete;
    CanvasBase& operator=(const CanvasBase&) = delete;

    // Binds the canvas to control `controlId` of `dialog`: a buffer of its client size in the
    // window colour, and the control's messages routed here. False, with the error recorded,
    // when any step fails.
    bool Attach(HWND dialog, int controlId) noexcept;
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

    WNDPROC previousProcedure = nullptr;
    HWND control = nullptr;
    BITMAPINFO bitmapInfo{};
    CanvasPixels pixels;
};

class PreviewCanvas final : public CanvasBase {
   public:
    // Records `dialog` as the owner whose image is shown, binds the control and decides along
    // which axes the image fits.
    bool Attach(PreviewDialog& dialog, int controlId) noexcept;

    void Paint(HDC hdc) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    virtual void OnLButtonDown(std::int32_t x, std::int32_t y, WPARAM keys);
    virtual void OnLButtonUp(std::int32_t x, std::int32_t y, WPARAM keys);
    virtual void OnMouseMove(std::int32_t x, std::int32_t y, WPARAM keys);

    [[nodiscard]] bool FitsHorizontally() const noexcept { return fitsHorizontally; }
    [[nodiscard]] bool FitsVertically() const noexcept { return fitsVertically; }
    [[nodiscard]] CanvasPoint ImageOrigin() const noexcept { return imageOrigin; }

   private:
    [[nodiscard]] bool FitsBothWays() const noexcept { return fitsHorizontally && fitsVertically; }
    void ShowPanCursor(int cursorId) const noexcept;

    PreviewDialog* owner = nullptr;
    bool fitsHorizontally = false;
    bool fitsVertically = false;
    CanvasPoint imageOrigin{0, 0};
    CanvasPoint lastMouse{0, 0};
};

// Cursor resources of the canvas: an open hand over a pannable preview, a closed one dragging.
constexpr int kPanCursorId = 107;
constexpr int kPanDragCursorId = 108;
