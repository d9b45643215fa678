// Preview dialog: a dialog that owns a preview canvas over the host's image, with the preview
// check box, and by default shows the image unchanged.
#include "ui/preview_dialog.h"

#include <cstddef>

#include "ui/preview_render.h"

namespace {

// The system sends the wheel to the focused control, not to the window under the pointer; the
// dialog's modal loop shows every message to this filter before anything else sees it. The
// dialog is the one the message's window belongs to, so nested dialogs each keep their own.
LRESULT CALLBACK WheelFilter(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && message != nullptr && message->message == WM_MOUSEWHEEL) {
        DialogBase* const dialog = DialogBase::FromWindow(GetAncestor(message->hwnd, GA_ROOT));
        if (dialog != nullptr && dialog->RouteWheel(*message)) return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The wheel routed to the canvas of the dialog under it for the length of a modal loop.
class WheelRouting {
   public:
    WheelRouting() noexcept
        : hook(SetWindowsHookExA(WH_MSGFILTER, WheelFilter, nullptr, GetCurrentThreadId())) {}
    ~WheelRouting() {
        if (hook != nullptr) UnhookWindowsHookEx(hook);
    }
    WheelRouting(const WheelRouting&) = delete;
    WheelRouting& operator=(const WheelRouting&) = delete;

   private:
    HHOOK hook;
};

}  // namespace

PreviewDialog::PreviewDialog(const DialogModule& dialogModule,
                             std::int32_t dialogTemplateId) noexcept
    : DialogBase(dialogModule, dialogTemplateId) {}

INT_PTR PreviewDialog::RunWithImage(HWND parent, const Pixel32* pixels, std::int32_t width,
                                    std::int32_t height) noexcept {
    const bool usable = pixels != nullptr && width > 0 && height > 0;
    sourcePixels = usable ? pixels : nullptr;
    imageWidth = usable ? width : 0;
    imageHeight = usable ? height : 0;
    // Without the filter the dialog still works; the wheel then reaches the canvas only when
    // the focused control passes it on.
    const WheelRouting routing;
    return RunModal(parent);
}

bool PreviewDialog::IsPreviewChecked() const noexcept {
    return IsDlgButtonChecked(hwnd, kPreviewCheckId) == BST_CHECKED;
}

std::int32_t PreviewDialog::OnInitDialog() {
    DialogBase::OnInitDialog();
    // Without the canvas the dialog still works; the canvas keeps its error number.
    canvas.Attach(*this, hwnd, kPreviewCanvasId);
    resizer.Attach(hwnd, kPreviewCanvasId);
    return 1;
}

std::int32_t PreviewDialog::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            resizer.Layout();
            return 1;
        case WM_GETMINMAXINFO:
            resizer.LimitTracking(reinterpret_cast<MINMAXINFO*>(lParam));
            return 1;
        default:
            return DialogBase::HandleMessage(window, message, wParam, lParam);
    }
}

std::int32_t PreviewDialog::OnCommand(HWND control, WPARAM wParam, std::uint32_t notificationCode) {
    // Both checking and clearing the box redraw: the rendering decides what to show from it.
    if ((notificationCode & 0xFFFF) == BN_CLICKED && LOWORD(wParam) == kPreviewCheckId) {
        canvas.Refresh();
    }
    return DialogBase::OnCommand(control, wParam, notificationCode);
}

CanvasSize PreviewDialog::PreviewImageSize() const noexcept { return {imageWidth, imageHeight}; }

ImagePoint PreviewDialog::ShownPoint(const ImagePoint& at) const noexcept { return at; }

ImagePoint PreviewDialog::SourcePoint(const ImagePoint& shown) const noexcept { return shown; }

HINSTANCE PreviewDialog::PreviewResources() const noexcept { return module.Instance(); }

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

bool PreviewDialog::RenderZoomedPreview(CanvasBase& target, const CanvasPoint& destOrigin,
                                        const CanvasPoint& blockOrigin, const CanvasSize& size,
                                        std::int32_t scale) {
    RenderZoomedSourcePreview(target.Buffer(), {sourcePixels, imageWidth, imageHeight, nullptr},
                              {destOrigin, blockOrigin, size}, scale);
    return true;
}

bool PreviewDialog::RouteWheel(const MSG& message) noexcept {
    const HWND control = canvas.Control();
    // Only the wheel sent to this dialog's own controls: a message box over it keeps its own.
    const bool ours = message.hwnd == hwnd || IsChild(hwnd, message.hwnd);
    if (control == nullptr || message.hwnd == control || !ours || !IsWindowEnabled(control)) {
        return false;
    }
    RECT area{};
    // The pointer's screen position, signed: a screen left of or above the first one is negative.
    const auto position = static_cast<DWORD_PTR>(message.lParam);
    const POINT at{static_cast<std::int16_t>(LOWORD(position)),
                   static_cast<std::int16_t>(HIWORD(position))};
    if (!GetWindowRect(control, &area) || !PtInRect(&area, at)) return false;
    SendMessageA(control, WM_MOUSEWHEEL, message.wParam, message.lParam);
    return true;
}
