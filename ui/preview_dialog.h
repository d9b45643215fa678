// Preview dialog: a dialog that owns a preview canvas over the host's image, with the preview
// check box, and by default shows the image unchanged.
#pragma once

#include <cstdint>

#include "transform/pixel.h"
#include "ui/dialog_base.h"
#include "ui/preview_canvas.h"

// Controls every preview dialog template has.
constexpr int kPreviewCanvasId = 1005;

class PreviewDialog : public DialogBase {
   public:
    PreviewDialog(const DialogModule& module, std::int32_t dialogTemplateId) noexcept;

    // Records the image for the preview and runs the dialog over `parent`. Null pixels or a
    // negative size preview an empty image.
    INT_PTR RunWithImage(HWND parent, const Pixel32* pixels, std::int32_t width,
                         std::int32_t height) noexcept;

    // True exactly when the preview check box is checked.
    [[nodiscard]] bool IsPreviewChecked() const noexcept;

    std::int32_t OnInitDialog() override;
    std::int32_t OnCommand(HWND control, WPARAM wParam, std::uint32_t notificationCode) override;

    // Writes the preview of the image rectangle at `sourceOrigin` with extent `size` into the
    // canvas at `destOrigin`; true when the canvas is ready to be shown. The canvas only asks
    // for rectangles inside both the image and itself. Default: the source unchanged.
    virtual bool RenderPreview(CanvasBase& target, const CanvasPoint& destOrigin,
                               const CanvasPoint& sourceOrigin, const CanvasSize& size);

    // The same at 1:`scale` (2 or more): canvas pixels from `destOrigin` of extent `size` show
    // the blocks of scale x scale image pixels from `blockOrigin` (RenderZoomedSourcePreview).
    // Default: the source unchanged.
    virtual bool RenderZoomedPreview(CanvasBase& target, const CanvasPoint& destOrigin,
                                     const CanvasPoint& blockOrigin, const CanvasSize& size,
                                     std::int32_t scale);

    // Hands a wheel message to the canvas when the pointer is over it, whichever control it was
    // sent to; true when the canvas took it.
    bool RouteWheel(const MSG& message) noexcept;

    [[nodiscard]] std::int32_t ImageWidth() const noexcept { return imageWidth; }
    [[nodiscard]] std::int32_t ImageHeight() const noexcept { return imageHeight; }
    [[nodiscard]] const PreviewCanvas& Canvas() const noexcept { return canvas; }

   protected:
    const Pixel32* sourcePixels = nullptr;
    std::int32_t imageWidth = 0;
    std::int32_t imageHeight = 0;
    PreviewCanvas canvas;
};
