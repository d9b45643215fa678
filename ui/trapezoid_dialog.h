// Trapezoid setup dialog: shape buttons, the difference edit with its spin and slider kept in
// step, the undefined-area fill, the transparent, preview, perspective and proportions switches,
// and the live preview with its menu.
#pragma once

#include <cstdint>
#include <optional>

#include "transform/edge_samplers.h"
#include "transform/pixel.h"
#include "transform/straighten.h"
#include "ui/preview_dialog.h"
#include "ui/preview_render.h"

// Controls of the Trapezoid dialog besides the settings' own (ui/trapezoid_controls.h).
constexpr int kDifferenceSpinId = 1060;
constexpr int kDifferenceSliderId = 1061;
constexpr int kSelectedRectangleCheckId = 1072;

// 118 for a Japanese user default language, else 119; asked afresh at every call.
[[nodiscard]] std::int32_t DialogTemplateId() noexcept;

class TrapezoidDialog : public PreviewDialog {
   public:
    // The template of the user's language, among `module`'s resources.
    explicit TrapezoidDialog(const DialogModule& module) noexcept;

    std::int32_t HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    std::int32_t OnInitDialog() override;
    std::int32_t OnCommand(HWND control, WPARAM wParam, std::uint32_t notificationCode) override;
    // Saves the controls as the settings; when that fails, says so naming the file and keeps
    // the dialog open.
    bool OnApply() override;
    // Opens the preview's menu at the screen position `position` (-1, -1 from the keyboard: at
    // the preview's centre) and carries out the chosen entry.
    void OnPreviewContextMenu(LPARAM position);
    // Sets the shape and the difference that the picture's lines suggest, through the edit as a
    // typed value; when nothing can be suggested, says so over the preview and changes nothing.
    // True when a suggestion was set.
    bool Straighten(StraightenDirection direction);
    // The same along the guides drawn over the preview, with the same fit (guides within 45
    // degrees of vertical straighten verticals, the others horizontals); with fewer than two
    // guides, or guides of both directions, the preview says why and nothing changes.
    bool StraightenAlongGuides();

    // Where the preview shows an image point, and which one it shows, under the correction the
    // controls set (none while the preview box is cleared or the picture shown before it).
    [[nodiscard]] ImagePoint ShownPoint(const ImagePoint& at) const noexcept override;
    [[nodiscard]] ImagePoint SourcePoint(const ImagePoint& shown) const noexcept override;

    // The transform as the controls set it now, drawn into the canvas; the source unchanged while
    // the preview box is cleared or the difference is 0.
    bool RenderPreview(CanvasBase& target, const CanvasPoint& destOrigin,
                       const CanvasPoint& sourceOrigin, const CanvasSize& size) override;
    // The same at 1:`scale`.
    bool RenderZoomedPreview(CanvasBase& target, const CanvasPoint& destOrigin,
                             const CanvasPoint& blockOrigin, const CanvasSize& size,
                             std::int32_t scale) override;
    // Shapes 0 to 2, which rebuild rows, and shapes 3 to 5, which rebuild columns. Both ask the
    // host for the selection mask once and always return true.
    virtual bool RenderRows(CanvasBase& target, const CanvasPoint& destOrigin,
                            const CanvasPoint& sourceOrigin, const CanvasSize& size,
                            std::int32_t shape, std::int32_t difference, LineProfile profile,
                            const FillParams& fill);
    virtual bool RenderColumns(CanvasBase& target, const CanvasPoint& destOrigin,
                               const CanvasPoint& sourceOrigin, const CanvasSize& size,
                               std::int32_t shape, std::int32_t difference, LineProfile profile,
                               const FillParams& fill);

    [[nodiscard]] std::int32_t CurrentDifference() const noexcept { return currentDifference; }
    [[nodiscard]] const SelectionRect& Selection() const noexcept { return selectionRect; }

   protected:
    // The slider reported a move; 1 when it asked for a value.
    std::int32_t OnSliderScroll(WPARAM wParam);
    // Accepts the edit's new text or puts the last accepted value back.
    void ValidateDifferenceEdit();
    void RefreshIfPreviewing() noexcept;

    std::int32_t currentDifference = 0;
    bool updatingEdit = false;
    SelectionRect selectionRect{0, 0, 0, 0};

   private:
    // The spans of the host's mask, read at the first zoomed paint with a mask, which the zoomed
    // paints use to skip the mask along lines whose selection is solid.
    SelectionSpans maskSpans;
    // The lens as the settings file gave it, written back on OK, and the moved lines of the
    // previews that restore proportions, kept from paint to paint while the setting stays.
    std::int32_t focal = kDefaultFocal;
    MovedLines movedLines{kDefaultFocal};

    // Sets a found shape and difference through the edit as a typed value, or says over the
    // preview that nothing was found; true when set.
    bool ApplyStraightening(const std::optional<Straightening>& found, std::int32_t shape);
    // The difference the edit holds, 0 for anything else; the source is shown when it is 0, the
    // preview box is clear or the canvas shows the picture before the correction.
    [[nodiscard]] std::int32_t PreviewedDifference() const noexcept;
    // What the controls ask for: the first checked shape button (0 when none is), the listed
    // fill (0 when none or an unknown one is chosen) with its colour, the transparent box.
    [[nodiscard]] std::int32_t CheckedShape() const noexcept;
    // The perspective profile while its box is checked, else the classic one.
    [[nodiscard]] LineProfile CheckedProfile() const noexcept;
    [[nodiscard]] FillParams FillFromControls() const noexcept;
    // The moved lines while "Perspective" and the proportions box are both checked, else null.
    [[nodiscard]] MovedLines* CheckedMove() noexcept;
    // The proportions box is enabled only while "Perspective" is checked; it keeps its state.
    void EnableProportionsBox() const noexcept;
    // The image with the host's current mask, or none when the host gives none.
    [[nodiscard]] PreviewSource SourceWithMask() const noexcept;
    void LoadShapeIcons() const noexcept;
    void FillUndefinedAreaList() const noexcept;
    void SetUpDifferenceControls(std::int32_t storedDifference);
};
