// Preview dialog: a dialog that owns a preview canvas over the host's image, with the preview
// check box, and by default shows the image unchanged.
#pragma once

#include <cstdint>

#include "transform/pixel.h"
#include "ui/dialog_base.h"
#include "ui/dialog_resizer.h"
#include "ui/preview_canvas.h"
#include "ui/preview_host.h"
#include "ui/trapezoid_controls.h"

// Controls every preview dialog template has, besides the preview check box.
constexpr int kPreviewCanvasId = 1005;

class PreviewDialog : public DialogBase, public PreviewHost {
   public:
    PreviewDialog(const DialogModule& module, std::int32_t dialogTemplateId) noexcept;

    // Records the image for the preview and runs the dialog over `parent`. Null pixels or a
    // negative size preview an empty image.
    INT_PTR RunWithImage(HWND parent, const Pixel32* pixels, std::int32_t width,
                         std::int32_t height) noexcept;

    // True exactly when the preview check box is checked.
    [[nodiscard]] bool IsPreviewChecked() const noexcept;

    // The dialog's size: the canvas takes the new room (DialogResizer).
    std::int32_t HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    std::int32_t OnInitDialog() override;
    std::int32_t OnCommand(HWND control, WPARAM wParam, std::uint32_t notificationCode) override;

    // The preview of the canvas: by default the source unchanged (RenderZoomedSourcePreview
    // when zoomed), every point where it is.
    [[nodiscard]] CanvasSize PreviewImageSize() const noexcept override;
    bool RenderPreview(CanvasBase& target, const CanvasPoint& destOrigin,
                       const CanvasPoint& sourceOrigin, const CanvasSize& size) override;
    bool RenderZoomedPreview(CanvasBase& target, const CanvasPoint& destOrigin,
                             const CanvasPoint& blockOrigin, const CanvasSize& size,
                             std::int32_t scale) override;
    [[nodiscard]] ImagePoint ShownPoint(const ImagePoint& at) const noexcept override;
    [[nodiscard]] ImagePoint SourcePoint(const ImagePoint& shown) const noexcept override;
    [[nodiscard]] HINSTANCE PreviewResources() const noexcept override;

    // Hands a wheel message to the canvas when the pointer is over it, whichever control it was
    // sent to; true when the canvas took it.
    bool RouteWheel(const MSG& message) noexcept override;

    [[nodiscard]] std::int32_t ImageWidth() const noexcept { return imageWidth; }
    [[nodiscard]] std::int32_t ImageHeight() const noexcept { return imageHeight; }
    [[nodiscard]] const PreviewCanvas& Canvas() const noexcept { return canvas; }

   protected:
    const Pixel32* sourcePixels = nullptr;
    std::int32_t imageWidth = 0;
    std::int32_t imageHeight = 0;
    PreviewCanvas canvas;
    DialogResizer resizer;
};
