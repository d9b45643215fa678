// The dialog framework and the preview canvas on real windows: message routing, OK and Cancel,
// the canvas's centring, panning, cursors, checkerboard and error numbers.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/filter_module.h"
#include "settings/settings_file.h"
#include "tests/win32/dialog_script.h"
#include "tests/win32/test_host.h"
#include "ui/preview_dialog.h"

namespace {

constexpr int kPreviewTemplate = 501;
constexpr int kNoCanvasTemplate = 502;
constexpr int kSettingsTemplate = 500;

// Records what the framework calls, and counts the renders the canvas asks for.
class RecordingDialog : public PreviewDialog {
   public:
    explicit RecordingDialog(std::int32_t id) : PreviewDialog(Module(), id) {}
    std::int32_t HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (firstMessage == 0) {
            firstMessage = message;
            hwndSetForFirstMessage = hwnd == window;
            firstResult = PreviewDialog::HandleMessage(window, message, wParam, lParam);
            return firstResult;
        }
        return PreviewDialog::HandleMessage(window, message, wParam, lParam);
    }
    bool OnApply() override {
        ++applied;
        return true;
    }
    bool RenderPreview(CanvasBase& target, const CanvasPoint& destOrigin,
                       const CanvasPoint& sourceOrigin, const CanvasSize& size) override {
        ++renders;
        lastDest = destOrigin;
        lastSource = sourceOrigin;
        lastSize = size;
        return PreviewDialog::RenderPreview(target, destOrigin, sourceOrigin, size);
    }
    bool RenderZoomedPreview(CanvasBase& target, const CanvasPoint& destOrigin,
                             const CanvasPoint& blockOrigin, const CanvasSize& size,
                             std::int32_t scale) override {
        ++zoomedRenders;
        lastDest = destOrigin;
        lastSource = blockOrigin;
        lastSize = size;
        return PreviewDialog::RenderZoomedPreview(target, destOrigin, blockOrigin, size, scale);
    }
    PreviewCanvas& MutableCanvas() { return canvas; }

    UINT firstMessage = 0;
    bool hwndSetForFirstMessage = false;
    std::int32_t firstResult = -1;
    int applied = 0;
    int renders = 0;
    int zoomedRenders = 0;
    CanvasPoint lastDest{-1, -1};
    CanvasPoint lastSource{-1, -1};
    CanvasSize lastSize{-1, -1};
};

class DialogFramework : public ::testing::Test {
   protected:
    void SetUp() override {
        test_host::Reset();
        ASSERT_EQ(Module().Initialize(GetModuleHandleA(nullptr)), 1);
    }
    // Runs `dialog` over an image of `width` x `height` with the pixels of `image`.
    INT_PTR Run(RecordingDialog& dialog, const test_host::DialogScript& script) {
        return test_host::RunScripted(
            [&] { return dialog.RunWithImage(nullptr, image.data(), width, height); }, script);
    }
    void MakeImage(std::int32_t w, std::int32_t h, Pixel32 base = 0xFF000000u) {
        width = w;
        height = h;
        image.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = base | static_cast<Pixel32>(i & 0xFFFFFFu);
        }
    }
    std::vector<Pixel32> image;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The canvas's client size in this template, which depends on the dialog font.
CanvasSize CanvasClientSize() {
    RecordingDialog probe(kPreviewTemplate);
    CanvasSize size{0, 0};
    const Pixel32 pixel = 0;
    test_host::RunScripted(
        [&] { return probe.RunWithImage(nullptr, &pixel, 1, 1); },
        [&](HWND) {
            size = {probe.Canvas().Pixels().Width(), probe.Canvas().Pixels().Height()};
        });
    return size;
}

TEST_F(DialogFramework, OkAppliesAndEndsWithOne) {
    MakeImage(4, 4);
    RecordingDialog dialog(kPreviewTemplate);
    const INT_PTR result = Run(dialog, [&](HWND hwnd) {
        EXPECT_EQ(dialog.Window(), hwnd);
        EXPECT_EQ(dialog.OnCommand(nullptr, 1234, 0), 0) << "other ids are not handled";
        // Any notification code with the OK id ends the dialog.
        SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, 7), 0);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.applied, 1);
    // The object comes with WM_INITDIALOG (DS_SETFONT's WM_SETFONT before it finds none), and
    // its window is recorded before the message is handled.
    EXPECT_EQ(dialog.firstMessage, static_cast<UINT>(WM_INITDIALOG));
    EXPECT_TRUE(dialog.hwndSetForFirstMessage);
    EXPECT_EQ(dialog.firstResult, 1);
}

TEST_F(DialogFramework, CancelEscapeAndCloseBoxEndWithTwo) {
    MakeImage(4, 4);
    const std::vector<test_host::DialogScript> endings = {
        [](HWND hwnd) { test_host::Click(hwnd, IDCANCEL); },
        [](HWND hwnd) { SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, 3), 0); },
        [](HWND) { PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0x00010001); },
        [](HWND hwnd) { PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    for (const auto& ending : endings) {
        RecordingDialog dialog(kPreviewTemplate);
        EXPECT_EQ(Run(dialog, ending), IDCANCEL);
        EXPECT_EQ(dialog.applied, 0);
    }
}

TEST_F(DialogFramework, MissingTemplateFailsWithoutShowingAnything) {
    MakeImage(2, 2);
    RecordingDialog dialog(999);
    EXPECT_EQ(dialog.RunWithImage(nullptr, image.data(), 2, 2), -1);
    EXPECT_TRUE(test_host::Events().empty());
}

TEST_F(DialogFramework, CheckRadioInRangeChecksTheFirstForIdsOutside) {
    MakeImage(2, 2);
    RecordingDialog dialog(kSettingsTemplate);
    Run(dialog, [&](HWND hwnd) {
        for (int outside : {1071, 1064}) {
            dialog.CheckRadioInRange(1065, 1070, 1068);
            dialog.CheckRadioInRange(1065, 1070, outside);
            EXPECT_EQ(IsDlgButtonChecked(hwnd, 1065), BST_CHECKED) << outside;
            EXPECT_EQ(IsDlgButtonChecked(hwnd, 1068), BST_UNCHECKED) << outside;
        }
        dialog.CheckRadioInRange(1065, 1070, 1070);
        EXPECT_EQ(IsDlgButtonChecked(hwnd, 1070), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(hwnd, 1065), BST_UNCHECKED);
    });
}

TEST_F(DialogFramework, PreviewBoxRefreshesBothWays) {
    MakeImage(3, 3);
    RecordingDialog dialog(kPreviewTemplate);
    Run(dialog, [&](HWND hwnd) {
        const int before = dialog.renders;
        test_host::Click(hwnd, kPreviewCheckId);
        EXPECT_TRUE(dialog.IsPreviewChecked());
        EXPECT_EQ(dialog.renders, before + 1);
        test_host::Click(hwnd, kPreviewCheckId);
        EXPECT_FALSE(dialog.IsPreviewChecked());
        EXPECT_EQ(dialog.renders, before + 2);
    });
}

TEST_F(DialogFramework, SmallImageIsCentredOverTheWindowColour) {
    const CanvasSize canvas = CanvasClientSize();
    ASSERT_GT(canvas.width, 20);
    ASSERT_GT(canvas.height, 20);
    MakeImage(canvas.width - 7, canvas.height - 10);
    RecordingDialog dialog(kPreviewTemplate);
    Run(dialog, [&](HWND) {
        const PreviewCanvas& c = dialog.Canvas();
        EXPECT_TRUE(c.FitsHorizontally());
        EXPECT_TRUE(c.FitsVertically());
        dialog.MutableCanvas().Refresh();
        EXPECT_EQ(dialog.lastDest.x, 3);  // 7 / 2 rounded toward zero
        EXPECT_EQ(dialog.lastDest.y, 5);
        EXPECT_EQ(dialog.lastSize.width, width);
        EXPECT_EQ(dialog.lastSource.x, 0);
        const COLORREF window = GetSysColor(COLOR_WINDOW);
        const std::uint32_t margin = static_cast<std::uint32_t>(GetRValue(window)) << 16 |
                                     GetGValue(window) << 8 | GetBValue(window);
        EXPECT_EQ(c.Pixels().At(0, 0), margin);
        EXPECT_EQ(c.Pixels().At(2, 7), margin);
        EXPECT_EQ(c.Pixels().At(3, 5), image[0] & 0xFFFFFFu);
        EXPECT_EQ(c.Pixels().At(canvas.width - 1, canvas.height - 1), margin);
        // Nothing to pan: a press takes no capture, a move leaves the cursor alone.
        const HCURSOR cursor = SetCursor(LoadCursorA(nullptr, IDC_CROSS));
        SendMessageA(c.Control(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
        EXPECT_EQ(GetCapture(), nullptr);
        SendMessageA(c.Control(), WM_MOUSEMOVE, 0, MAKELPARAM(12, 10));
        EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_CROSS));
        SetCursor(cursor);
    });
}

TEST_F(DialogFramework, ImageAsWideAsTheCanvasFits) {
    const CanvasSize canvas = CanvasClientSize();
    MakeImage(canvas.width, canvas.height + 1);
    RecordingDialog dialog(kPreviewTemplate);
    Run(dialog, [&](HWND) {
        EXPECT_TRUE(dialog.Canvas().FitsHorizontally());
        EXPECT_FALSE(dialog.Canvas().FitsVertically());
    });
}

TEST_F(DialogFramework, LargeImagePansWithTheHandCursors) {
    const CanvasSize canvas = CanvasClientSize();
    MakeImage(canvas.width + 50, canvas.height - 4);  // too wide only
    RecordingDialog dialog(kPreviewTemplate);
    Run(dialog, [&](HWND) {
        PreviewCanvas& c = dialog.MutableCanvas();
        const HWND control = c.Control();
        const HCURSOR open = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(107));
        const HCURSOR closed = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(108));
        ASSERT_NE(open, nullptr);
        ASSERT_NE(closed, nullptr);
        SendMessageA(control, WM_MOUSEMOVE, 0, MAKELPARAM(30, 10));
        EXPECT_EQ(GetCursor(), open);
        SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 10));
        EXPECT_EQ(GetCapture(), control);
        EXPECT_EQ(GetCursor(), closed);

        int renders = dialog.renders;
        SendMessageA(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, 10));
        EXPECT_EQ(c.ImageOrigin().x, 10) << "dragging left shows pixels further right";
        EXPECT_EQ(dialog.renders, renders + 1);
        EXPECT_EQ(dialog.lastSource.x, 10);
        EXPECT_EQ(dialog.lastDest.y, 2) << "the axis that fits stays centred";
        EXPECT_EQ(c.Pixels().At(0, 2), image[10] & 0xFFFFFFu);
        renders = dialog.renders;
        SendMessageA(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, 30));
        EXPECT_EQ(dialog.renders, renders) << "a move along the axis that fits changes nothing";

        SendMessageA(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-200, 40));
        EXPECT_EQ(c.ImageOrigin().x, 50) << "the last column stops at the right edge";
        renders = dialog.renders;
        SendMessageA(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-250, 60));
        EXPECT_EQ(c.ImageOrigin().x, 50);
        EXPECT_EQ(dialog.renders, renders) << "a move the clamp undoes does not repaint";
        EXPECT_EQ(GetCursor(), closed);

        SendMessageA(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(400, 60));
        EXPECT_EQ(c.ImageOrigin().x, 0) << "the first column stops at the left edge";
        SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(400, 60));
        EXPECT_EQ(GetCapture(), nullptr);
        EXPECT_EQ(GetCursor(), open) << "the closed hand goes with the drag";
        renders = dialog.renders;
        SendMessageA(control, WM_MOUSEMOVE, 0, MAKELPARAM(10, 60));
        EXPECT_EQ(dialog.renders, renders) << "no drag without the capture";
        EXPECT_EQ(GetCursor(), open);
    });
}

// Wheel and double-click on an image that fits at 1:6 (too wide at 1:4): the steps, their end,
// the point under the pointer kept, the hand cursor answered, and the scale drawn in a corner.
TEST_F(DialogFramework, WheelAndDoubleClickZoomAboutThePointer) {
    const CanvasSize canvas = CanvasClientSize();
    MakeImage(canvas.width * 4 + 3, canvas.height * 2);
    RecordingDialog dialog(kPreviewTemplate);
    Run(dialog, [&](HWND hwnd) {
        PreviewCanvas& c = dialog.MutableCanvas();
        const HWND control = c.Control();
        const HCURSOR open = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(107));
        const auto wheel = [&](int notches, std::int32_t x, std::int32_t y) {
            POINT at{x, y};
            ClientToScreen(control, &at);
            SendMessageA(control, WM_MOUSEWHEEL, MAKEWPARAM(0, notches * WHEEL_DELTA),
                         MAKELPARAM(at.x, at.y));
        };
        const auto setCursor = [&] {
            return SendMessageA(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
                                MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        };
        EXPECT_EQ(c.Scale(), 1);
        EXPECT_EQ(c.FittingScale(), 6);
        // Panned to x 100 at 1:1; a notch towards the user at x 30 keeps image pixel 130 there.
        SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 5));
        SendMessageA(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, 5));
        SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(20, 5));
        ASSERT_EQ(c.ImageOrigin().x, 100);
        wheel(-1, 30, 5);
        EXPECT_EQ(c.Scale(), 2);
        EXPECT_EQ(c.ImageOrigin().x, 35);
        EXPECT_EQ(dialog.zoomedRenders, 1);
        EXPECT_EQ(dialog.lastSource.x, 35);
        test_host::Click(hwnd, kPreviewCheckId);
        EXPECT_EQ(dialog.zoomedRenders, 2) << "a changed setting keeps the scale and the pan";
        EXPECT_EQ(dialog.lastSource.x, 35);
        wheel(-2, 30, 5);
        EXPECT_EQ(c.Scale(), 4);
        EXPECT_EQ(setCursor(), TRUE) << "still wider than the canvas";
        EXPECT_EQ(GetCursor(), open);
        wheel(-1, 30, 5);
        wheel(-3, 30, 5);
        EXPECT_EQ(c.Scale(), 6) << "no further than the first scale that fits";
        EXPECT_TRUE(c.FitsHorizontally() && c.FitsVertically());
        EXPECT_EQ(setCursor(), FALSE) << "the control's own cursor over a fitting image";
        const COLORREF window = GetSysColor(COLOR_WINDOW);
        EXPECT_EQ(c.Pixels().At(0, 0), static_cast<std::uint32_t>(GetRValue(window)) << 16 |
                                           GetGValue(window) << 8 | GetBValue(window))
            << "the margins of the centred view show the window colour";
        // The scale's box in the bottom-right corner covers the image.
        const HDC dc = GetDC(control);
        EXPECT_EQ(GetPixel(dc, canvas.width - 4, canvas.height - 4), RGB(0, 0, 0));
        ReleaseDC(control, dc);
        wheel(1, 30, 5);
        EXPECT_EQ(c.Scale(), 4);

        // A double-click switches between 1:1 and the fitting scale; its second press, as any
        // press, starts a drag where the image is larger than the canvas.
        SendMessageA(control, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
        EXPECT_EQ(c.Scale(), 1);
        EXPECT_EQ(GetCapture(), control);
        SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
        SendMessageA(control, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
        EXPECT_EQ(c.Scale(), 6);
        EXPECT_EQ(GetCapture(), nullptr);
        c.ShowActualPixels({0, 0});
        EXPECT_EQ(c.Scale(), 1);
        c.FitWholePicture();
        EXPECT_EQ(c.Scale(), 6);
        EXPECT_EQ(c.Error(), CanvasError::kNone);
    });
}

TEST_F(DialogFramework, AlphaShowsTheCheckerboard) {
    const CanvasSize canvas = CanvasClientSize();
    MakeImage(canvas.width + 1, canvas.height + 1, 0x00000000u);
    RecordingDialog dialog(kPreviewTemplate);
    Run(dialog, [&](HWND) {
        dialog.MutableCanvas().Refresh();
        const CanvasPixels& p = dialog.Canvas().Pixels();
        EXPECT_EQ(p.At(0, 0), 0xFFFFFFu);
        EXPECT_EQ(p.At(7, 7), 0xFFFFFFu);
        EXPECT_EQ(p.At(8, 0), 0xC0C0C0u);
        EXPECT_EQ(p.At(15, 7), 0xC0C0C0u);
        EXPECT_EQ(p.At(0, 8), 0xC0C0C0u);
        EXPECT_EQ(p.At(8, 8), 0xFFFFFFu);
    });
}

TEST_F(DialogFramework, PaintedPixelsAreTheBuffer) {
    const CanvasSize canvas = CanvasClientSize();
    MakeImage(canvas.width + 3, canvas.height + 3, 0x80000000u);
    RecordingDialog dialog(kPreviewTemplate);
    Run(dialog, [&](HWND) {
        PreviewCanvas& c = dialog.MutableCanvas();
        c.Refresh();
        const HDC dc = GetDC(c.Control());
        int mismatches = 0;
        for (std::int32_t y = 0; y < canvas.height; y += 3) {
            for (std::int32_t x = 0; x < canvas.width; x += 3) {
                const COLORREF shown = GetPixel(dc, x, y);
                const std::uint32_t word = c.Pixels().At(x, y);
                const COLORREF expected = RGB(word >> 16 & 0xFF, word >> 8 & 0xFF, word & 0xFF);
                if (shown != expected) ++mismatches;
            }
        }
        ReleaseDC(c.Control(), dc);
        EXPECT_EQ(mismatches, 0);
    });
}

TEST_F(DialogFramework, DefaultRenderCopiesTheWordsWithTheirAlpha) {
    width = 5;
    height = 3;
    image.assign(15, 0);
    image[13] = 0xFF102030u;
    image[14] = 0x00405060u;
    RecordingDialog dialog(kPreviewTemplate);
    Run(dialog, [&](HWND) {
        PreviewCanvas& c = dialog.MutableCanvas();
        const std::uint32_t untouched = c.Pixels().At(12, 0);
        EXPECT_TRUE(dialog.PreviewDialog::RenderPreview(c, {10, 0}, {3, 2}, {0, 1}));
        EXPECT_TRUE(dialog.PreviewDialog::RenderPreview(c, {10, 0}, {3, 2}, {2, 0}));
        EXPECT_TRUE(dialog.PreviewDialog::RenderPreview(c, {10, 0}, {3, 2}, {2, 1}));
        EXPECT_EQ(c.Pixels().At(10, 0), 0x102030u);
        EXPECT_EQ(c.Pixels().At(11, 0), 0xC0C0C0u) << "alpha 0 over a dark cell";
        EXPECT_EQ(c.Pixels().At(12, 0), untouched);
        EXPECT_EQ(c.Error(), CanvasError::kNone);
    });
}

// Counts the dark pixels a device context shows over a window's client area.
int DarkPixels(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    const HDC dc = GetDC(window);
    int dark = 0;
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) {
            if (GetPixel(dc, x, y) == RGB(0, 0, 0)) ++dark;
        }
    }
    ReleaseDC(window, dc);
    return dark;
}

TEST_F(DialogFramework, PixelOutsideTheCanvasStopsThePreview) {
    const CanvasSize canvas = CanvasClientSize();
    MakeImage(canvas.width, canvas.height, 0xFFFFFFFFu);
    for (Pixel32& p : image) p = 0xFFFFFFFFu;  // white: no dark pixel before the error
    RecordingDialog dialog(kPreviewTemplate);
    Run(dialog, [&](HWND) {
        PreviewCanvas& c = dialog.MutableCanvas();
        c.Refresh();
        EXPECT_EQ(DarkPixels(c.Control()), 0);
        const std::uint32_t before = c.Pixels().At(canvas.width - 1, 0);
        c.PutPixel(canvas.width, 0, 0xFF000000u, 255);
        EXPECT_EQ(c.Error(), CanvasError::kPixelOutside);
        EXPECT_FALSE(IsWindowEnabled(c.Control()));
        EXPECT_EQ(c.Pixels().At(canvas.width - 1, 0), before);
        const int renders = dialog.renders;
        c.Refresh();
        EXPECT_EQ(dialog.renders, renders) << "a failed canvas renders no more";
        EXPECT_GT(DarkPixels(c.Control()), 20) << "the error text is drawn";
    });
}

TEST_F(DialogFramework, DialogWithoutTheCanvasControlWorks) {
    MakeImage(4, 4);
    RecordingDialog dialog(kNoCanvasTemplate);
    const INT_PTR result = Run(dialog, [&](HWND hwnd) {
        EXPECT_EQ(dialog.Canvas().Error(), CanvasError::kNoControl);
        EXPECT_EQ(dialog.Canvas().Control(), nullptr);
        dialog.MutableCanvas().Refresh();
        EXPECT_EQ(dialog.renders, 0);
        test_host::Click(hwnd, IDOK);
    });
    EXPECT_EQ(result, IDOK);
}

TEST_F(DialogFramework, RefreshWithoutADeviceContextRecordsError5) {
    MakeImage(4, 4);
    RecordingDialog dialog(kPreviewTemplate);
    Run(dialog, [&](HWND) {
        PreviewCanvas& c = dialog.MutableCanvas();
        // A control that is gone gives no device context.
        DestroyWindow(c.Control());
        c.Refresh();
        EXPECT_EQ(c.Error(), CanvasError::kNoDeviceContext);
    });
}

TEST_F(DialogFramework, NullOrNegativeImagePreviewsNothing) {
    RecordingDialog dialog(kPreviewTemplate);
    test_host::RunScripted([&] { return dialog.RunWithImage(nullptr, nullptr, 300, 300); },
                           [&](HWND) {
                               EXPECT_EQ(dialog.ImageWidth(), 0);
                               dialog.MutableCanvas().Refresh();
                               EXPECT_EQ(dialog.lastSize.width, 0);
                               EXPECT_EQ(dialog.Canvas().Error(), CanvasError::kNone);
                           });
    Pixel32 pixel = 0;
    RecordingDialog negative(kPreviewTemplate);
    test_host::RunScripted([&] { return negative.RunWithImage(nullptr, &pixel, -5, 2); },
                           [&](HWND) { EXPECT_EQ(negative.ImageHeight(), 0); });
}

}  // namespace
