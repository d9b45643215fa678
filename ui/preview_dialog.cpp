// Preview dialog: a dialog that owns a preview canvas over the host's image, with the preview
// check box, and by default shows the image unchanged.
#include "ui/preview_dialog.h"

#include <cstddef>

#include "settings/settings_file.h"

PreviewDialog::PreviewDialog(std::int32_t dialogTemplateId) noexcept
    : DialogBase(dialogTemplateId) {}

INT_PTR PreviewDialog::RunWithImage(HWND parent, const Pixel32* pixels, std::int32_t width,
                                    std::int32_t height) noexcept {
    const bool usable = pixels != nullptr && width > 0 && height > 0;
    sourcePixels = usable ? pixels : nullptr;
    imageWidth = usable ? width : 0;
    imageHeight = usable ? height : 0;
    return RunModal(parent);
}

bool PreviewDialog::IsPreviewChecked() const noexcept {
    return IsDlgButtonChecked(hwnd, kPreviewCheckId) == BST_CHECKED;
}

std::int32_t PreviewDialog::OnInitDialog() {
    DialogBase::OnInitDialog();
    // Without the canvas the dialog still works; the canvas keeps its error number.
    canvas.Attach(*this, kPreviewCanvasId);
    return 1;
}

std::int32_t PreviewDialog::OnCommand(HWND control, WPARAM wParam, std::uint32_t notificationCode) {
    // Both checking and clearing the box redraw: the rendering decides what to show from it.
    if ((notificationCode & 0xFFFF) == BN_CLICKED && LOWORD(wParam) == kPreviewCheckId) {
        canvas.Refresh();
    }
    return DialogBase::OnCommand(control, wParam, notificationCode);
}

bool PreviewDialog::RenderPreview(CanvasBase& target, const CanvasPoint& destOrigin,
                                  const CanvasPoint& sourceOrigin, const CanvasSize& size) {
    for (std::int32_t i = 0; i < size.height; ++i) {
        const Pixel32* row =
            sourcePixels + PixelIndex(sourceOrigin.x, sourceOrigin.y + i, imageWidth);
        for (std::int32_t j = 0; j < size.width; ++j) {
            const Pixel32 pixel = row[j];
            target.PutPixel(destOrigin.x + j, destOrigin.y + i, pixel,
                            static_cast<std::uint8_t>(pixel >> 24));
        }
    }
    return true;
}
