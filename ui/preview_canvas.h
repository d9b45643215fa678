// Preview canvas: a static control of a dialog turned into a 32-bit preview surface that shows
// the owner's rendering over a checkerboard, centred when small and panned by dragging when large.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32.h"
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

// The view is 1:1 when the dialog opens; it zooms out through the scales of ZoomOutStep down to
// the first at which the whole image fits. Pan origin, centring and fit flags are in canvas
// pixels of the view at the current scale.
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
    // Switches between 1:1 and the fitting scale about the point, then takes the press as any.
    void OnLButtonDblClk(std::int32_t x, std::int32_t y, WPARAM keys);
    // One step per notch (`delta` 120) about the point: away from the user zooms in.
    void OnMouseWheel(std::int32_t x, std::int32_t y, std::int32_t delta) noexcept;
    // The hand cursors exactly while the image is larger than the canvas; false leaves the
    // control's own cursor.
    bool OnSetCursor() const noexcept;

    // Shows the view at 1:`newScale`, limited to 1..FittingScale(), keeping the image point
    // under canvas position `anchor` there as far as the pan clamp allows; repaints on a change.
    void ZoomTo(std::int32_t newScale, const CanvasPoint& anchor) noexcept;
    // The whole picture, and 1:1 about `anchor`.
    void FitWholePicture() noexcept;
    void ShowActualPixels(const CanvasPoint& anchor) noexcept;
    // Draws `text` over the top of the preview for a few seconds, without touching the buffer.
    void ShowNotice(const std::wstring& text) noexcept;
    // Takes the notice away when its time is up.
    void OnNoticeTimer() noexcept;
    // Shows or hides the grid, drawn over the picture as shown and never into its pixels; it
    // stays through every render, zoom and pan until toggled again.
    void ToggleGrid() noexcept;

    [[nodiscard]] std::int32_t Scale() const noexcept { return scale; }
    [[nodiscard]] std::int32_t FittingScale() const noexcept;
    [[nodiscard]] bool FitsHorizontally() const noexcept { return fitsHorizontally; }
    [[nodiscard]] bool FitsVertically() const noexcept { return fitsVertically; }
    [[nodiscard]] CanvasPoint ImageOrigin() const noexcept { return imageOrigin; }
    // The notice shown now; "" when none is.
    [[nodiscard]] const std::wstring& Notice() const noexcept { return notice; }
    [[nodiscard]] bool GridShown() const noexcept { return gridShown; }

   private:
    [[nodiscard]] bool FitsBothWays() const noexcept { return fitsHorizontally && fitsVertically; }
    // The image's size in canvas pixels at the current scale.
    [[nodiscard]] CanvasSize ViewSize() const noexcept;
    void UpdateFit() noexcept;
    void ShowPanCursor(int cursorId) const noexcept;
    // Shows the buffer as last rendered, with its labels; PresentNow outside the paint cycle,
    // without rendering again.
    void Present(HDC hdc) const noexcept;
    void PresentNow() const noexcept;
    // The buffer with the grid over it, the scale drawn in a corner and the notice along the
    // top, composed off-screen and copied in one blit.
    void BlitWithLabels(HDC hdc) const noexcept;
    void DrawGrid(HDC hdc) const noexcept;
    void DrawScale(HDC hdc) const noexcept;
    void DrawNotice(HDC hdc) const noexcept;

    PreviewDialog* owner = nullptr;
    bool fitsHorizontally = false;
    bool fitsVertically = false;
    CanvasPoint imageOrigin{0, 0};
    CanvasPoint lastMouse{0, 0};
    std::int32_t scale = 1;
    std::int32_t wheelDelta = 0;  // what the wheel turned short of a notch
    std::wstring notice;
    bool gridShown = false;
};

// Cursor resources of the canvas: an open hand over a pannable preview, a closed one dragging.
constexpr int kPanCursorId = 107;
constexpr int kPanDragCursorId = 108;
// The timer of the control that ends a notice, and how long a notice stays.
constexpr UINT_PTR kNoticeTimerId = 1;
constexpr UINT kNoticeMilliseconds = 4000;
// The grid: a line through the preview's centre and every kGridSpacing canvas pixels from it,
// each in dashes of kGridDash pixels, black and white in turn, so that it shows over light and
// dark pictures alike. The key that toggles it while the preview has the focus.
constexpr std::int32_t kGridSpacing = 32;
constexpr std::int32_t kGridDash = 4;
constexpr WPARAM kGridKey = 'G';
