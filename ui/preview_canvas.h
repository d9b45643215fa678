// Preview canvas: the owner's rendering over a checkerboard, centred when small and panned by
// dragging when large, zoomed out by the wheel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "transform/pixel.h"
#include "ui/canvas_base.h"
#include "ui/canvas_pixels.h"
#include "ui/preview_guides.h"
#include "ui/preview_host.h"

// The view is 1:1 when the dialog opens; it zooms out through the scales of ZoomOutStep down to
// the first at which the whole image fits. Pan origin, centring and fit flags are in canvas
// pixels of the view at the current scale.
class PreviewCanvas final : public CanvasBase {
   public:
    // Records `host` as the owner whose image is shown, binds control `controlId` of `dialog`
    // and decides along which axes the image fits.
    bool Attach(PreviewHost& host, HWND dialog, int controlId) noexcept;

    void Paint(HDC hdc) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    virtual void OnLButtonDown(std::int32_t x, std::int32_t y, WPARAM keys);
    virtual void OnLButtonUp(std::int32_t x, std::int32_t y, WPARAM keys);
    virtual void OnMouseMove(std::int32_t x, std::int32_t y, WPARAM keys);
    // Switches between 1:1 and the fitting scale about the point, then takes the press as any.
    void OnLButtonDblClk(std::int32_t x, std::int32_t y, WPARAM keys);
    // One step per notch (`delta` 120) about the point: away from the user zooms in.
    void OnMouseWheel(std::int32_t x, std::int32_t y, std::int32_t delta) noexcept;
    // The cross while guides are drawn, else the hand cursors exactly while the image is larger
    // than the canvas; false leaves the control's own cursor.
    bool OnSetCursor() const noexcept;

    // Follows a new size of the control: the image point at the centre stays there, at the same
    // scale (the fitting one when the old lies beyond it), and the picture is drawn again at the
    // next paint; nothing when the size is the same.
    void OnResize() noexcept;
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

    // Shows the picture uncorrected (the owner renders it so while ShowingBefore()) or corrected
    // again, at the same scale and pan, with the guides and grid; the corner label says
    // `beforeLabel` meanwhile.
    void ShowBefore(bool before) noexcept;
    void SetBeforeLabel(const std::wstring& label) { beforeLabel = label; }

    // While guides are drawn, a drag on the preview draws a guide, or moves the end of one it
    // starts at, instead of panning. Guides are kept in the source image's coordinates and drawn
    // where the picture as shown has their points (PreviewHost::ShownPoint).
    void ToggleGuideDrawing() noexcept;
    void ClearGuides() noexcept;
    // Removes the guide drawn within reach of canvas position `at`; true when there was one.
    bool DeleteGuideAt(const CanvasPoint& at) noexcept;
    [[nodiscard]] std::int32_t Scale() const noexcept { return scale; }
    [[nodiscard]] std::int32_t FittingScale() const noexcept;
    [[nodiscard]] bool FitsHorizontally() const noexcept { return fitsHorizontally; }
    [[nodiscard]] bool FitsVertically() const noexcept { return fitsVertically; }
    [[nodiscard]] CanvasPoint ImageOrigin() const noexcept { return imageOrigin; }
    // The notice shown now; "" when none is.
    [[nodiscard]] const std::wstring& Notice() const noexcept { return notice; }
    [[nodiscard]] bool GridShown() const noexcept { return gridShown; }
    [[nodiscard]] bool ShowingBefore() const noexcept { return showingBefore; }
    [[nodiscard]] bool DrawingGuides() const noexcept { return drawingGuides; }
    [[nodiscard]] const std::vector<Guide>& Guides() const noexcept { return guides; }
    // How canvas positions and image points correspond in the view as it is now.
    [[nodiscard]] ViewMapping Mapping() const noexcept;

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
    void DrawGuides(HDC hdc) const noexcept;
    // The guides where the canvas draws their ends, in canvas coordinates.
    [[nodiscard]] std::vector<Guide> ShownGuides() const;
    // The image point under canvas pixel (x, y) as the picture is shown: the source point that
    // the correction takes there.
    [[nodiscard]] ImagePoint SourceUnder(std::int32_t x, std::int32_t y) const noexcept;
    // A press, move and release while guides are drawn.
    void StartGuide(std::int32_t x, std::int32_t y);
    void MoveGuideEnd(std::int32_t x, std::int32_t y) noexcept;
    void EndGuide() noexcept;
    // Ends a drag and the view before the correction when the mouse is taken away.
    void OnCaptureLost() noexcept;
    // Handles the preview's own keys; true when `key` was one of them.
    bool OnKey(WPARAM key, bool down, LPARAM flags) noexcept;

    PreviewHost* owner = nullptr;
    bool fitsHorizontally = false;
    bool fitsVertically = false;
    CanvasPoint imageOrigin{0, 0};
    CanvasPoint lastMouse{0, 0};
    std::int32_t scale = 1;
    std::int32_t wheelDelta = 0;  // what the wheel turned short of a notch
    std::wstring notice;
    bool gridShown = false;
    bool panning = false;  // a left drag pans the picture
    bool showingBefore = false;
    std::wstring beforeLabel = L"Before";
    bool drawingGuides = false;
    std::vector<Guide> guides;
    GuideEnd dragged{-1, 0};  // the guide end a left drag moves
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
// The preview's other keys: the picture before the correction while held, guide drawing on and
// off, straightening along the guides (which the dialog does, told by kStraightenAlongGuides),
// and the guide under the pointer removed.
constexpr WPARAM kBeforeKey = 'B';
constexpr WPARAM kGuideKey = 'D';
constexpr WPARAM kAlongGuidesKey = 'A';
constexpr WPARAM kDeleteGuideKey = VK_DELETE;
// The notification the canvas sends its dialog in WM_COMMAND for its key A.
constexpr WORD kStraightenAlongGuides = 0x0100;
// How near, in canvas pixels, a press must come to a guide's end or line to take it.
constexpr double kGuideReach = 6;
