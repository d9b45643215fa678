// The Trapezoid dialog's preview at the size of the screen, played with real input: the dialog
// maximised through its window menu, the preview then the filter's output; dragged by its
// border, never below the template's size; its size kept by OK for the next opening, a bad
// stored size ignored. Guides drawn with the mouse and straightened along; the picture before the
// correction while B or the middle button is held.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/wide_text.h"
#include "plugin/filter_module.h"
#include "tests/engine_cases.h"
#include "tests/win32/dialog_script.h"
#include "tests/win32/real_input.h"
#include "tests/win32/test_host.h"
#include "ui/preview_render.h"
#include "ui/trapezoid_dialog.h"

namespace {

constexpr std::int32_t kWidth = 2000;  // larger than a maximised preview both ways
constexpr std::int32_t kHeight = 1500;
constexpr SelectionRect kWhole{0, 0, kWidth, kHeight};
// The settings previewed: the first edge squeezed under the perspective profile.
constexpr std::int32_t kShape = 1;
constexpr std::int32_t kDifference = 40;
constexpr std::int32_t kFill = 4;

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

class LargePreview : public ::testing::Test {
   protected:
    class Dialog : public TrapezoidDialog {
       public:
        Dialog() : TrapezoidDialog(Module()) {}
        PreviewCanvas& MutableCanvas() { return canvas; }
    };

    void SetUp() override {
        test_host::Reset();
        path = test_host::FreshModuleSettings();
        ASSERT_FALSE(path.empty());
        image = engine_cases::MakeImage(kWidth, kHeight);
        Write("shape", std::to_string(kShape).c_str());
        Write("difference", std::to_string(kDifference).c_str());
        Write("undefarea", std::to_string(kFill).c_str());
        Write("preview", "1");
        Write("perspective", "1");
    }
    void TearDown() override { DeleteFileA(path.c_str()); }

    void Write(const char* key, const char* value) {
        WritePrivateProfileStringA("Trapezoid", key, value, path.c_str());
    }
    INT_PTR Run(Dialog& dialog, const test_host::DialogScript& script) {
        return test_host::RunScripted(
            [&] { return dialog.RunWithImage(nullptr, image.data(), kWidth, kHeight); },
            [&](HWND hwnd) {
                SetForegroundWindow(hwnd);
                test_host::PumpMessages();
                script(hwnd);
            });
    }
    static CanvasSize ClientOf(HWND window) {
        RECT r{};
        GetClientRect(window, &r);
        return {r.right, r.bottom};
    }
    // The size a dialog opens at with the settings file as it is now.
    CanvasSize OpeningClient() {
        Dialog dialog;
        CanvasSize client{0, 0};
        Run(dialog, [&](HWND hwnd) { client = ClientOf(hwnd); });
        return client;
    }

    // Words of the canvas that differ from the filter's output at `difference` (the source
    // unchanged at 0) as the canvas shows it now, at 1:1 or zoomed, centred where the image fits.
    int Mismatches(const PreviewCanvas& canvas, std::int32_t difference = kDifference) const {
        const CanvasPixels& shown = canvas.Pixels();
        const std::int32_t k = canvas.Scale();
        const CanvasSize view{ZoomedExtent(kWidth, k), ZoomedExtent(kHeight, k)};
        CanvasPixels expected;
        EXPECT_TRUE(expected.Allocate(shown.Width(), shown.Height(), WindowColourWord()));
        const CanvasPoint dest{std::max((shown.Width() - view.width) / 2, 0),
                               std::max((shown.Height() - view.height) / 2, 0)};
        const CanvasSize size{std::min(view.width, shown.Width()),
                              std::min(view.height, shown.Height())};
        const PreviewSource source{image.data(), kWidth, kHeight, nullptr};
        const FillParams fill = engine_cases::HostFill(kFill, 0, kWhole);
        const CanvasPoint origin = canvas.ImageOrigin();
        if (difference == 0) {
            for (std::int32_t y = 0; y < size.height; ++y) {
                for (std::int32_t x = 0; x < size.width; ++x) {
                    const Pixel32 p = image[PixelIndex(origin.x + x, origin.y + y, kWidth)];
                    expected.PutPixel(dest.x + x, dest.y + y, p,
                                      static_cast<std::uint8_t>(p >> 24));
                }
            }
        } else if (k == 1) {
            RenderTrapezoidPreview(expected, source, {dest, origin, size}, kShape, difference,
                                   LineProfile::kPerspective, fill);
        } else {
            RenderZoomedTrapezoidPreview(expected, source, {dest, origin, size}, k, kShape,
                                         difference, LineProfile::kPerspective, fill, nullptr);
        }
        int mismatches = 0;
        for (std::int32_t y = 0; y < shown.Height(); ++y) {
            for (std::int32_t x = 0; x < shown.Width(); ++x) {
                if (shown.At(x, y) != expected.At(x, y)) ++mismatches;
            }
        }
        return mismatches;
    }

    std::string path;
    std::vector<Pixel32> image;
};

// Maximised with Alt+Space, X on a 1280 x 1024 screen, the preview takes most of it and shows
// the filter's output at 1:1 and fitted; OK keeps the size, the next opening has it.
TEST_F(LargePreview, MaximisedThroughTheWindowMenu) {
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 1024);
    const CanvasSize least = OpeningClient();
    Dialog dialog;
    CanvasSize maximised{0, 0};
    const INT_PTR result = Run(dialog, [&](HWND hwnd) {
        PreviewCanvas& canvas = dialog.MutableCanvas();
        canvas.FitWholePicture();
        const std::int32_t small = canvas.Scale();
        real_input::WindowMenu({'X'});
        ASSERT_TRUE(real_input::PumpUntil([&] { return IsZoomed(hwnd) != FALSE; }));
        UpdateWindow(canvas.Control());
        maximised = {canvas.Pixels().Width(), canvas.Pixels().Height()};
        std::printf("canvas maximised at 1280 x 1024: %d x %d\n", maximised.width,
                    maximised.height);
        EXPECT_GE(maximised.width, 1000);
        EXPECT_GE(maximised.height, 700);
        // A scale beyond the new fitting one comes down to it: the whole picture, larger.
        EXPECT_LT(canvas.Scale(), small);
        EXPECT_EQ(canvas.Scale(), canvas.FittingScale());
        EXPECT_EQ(Mismatches(canvas), 0) << "fitted";
        canvas.ShowActualPixels({maximised.width / 2, maximised.height / 2});
        EXPECT_EQ(Mismatches(canvas), 0) << "1:1";
        canvas.FitWholePicture();
        test_host::Click(hwnd, IDOK);
    });
    ASSERT_EQ(result, IDOK);
    // Opened again: the size it was left at (within a pixel of the dialog units), fitted.
    const CanvasSize reopened = OpeningClient();
    EXPECT_GT(reopened.width, least.width + 800);
    EXPECT_GT(reopened.height, least.height + 600);
    Dialog again;
    Run(again, [&](HWND) {
        const PreviewCanvas& canvas = again.Canvas();
        EXPECT_NEAR(canvas.Pixels().Width(), maximised.width, 2);
        EXPECT_NEAR(canvas.Pixels().Height(), maximised.height, 2);
        EXPECT_EQ(canvas.Scale(), canvas.FittingScale());
        EXPECT_EQ(Mismatches(canvas), 0);
    });
}

// Dragged by its bottom-right corner: inwards it stays at the template's size; outwards the
// preview takes the room, keeping the point at its centre and its scale, OK and Cancel keep
// their distance from the corner and the check boxes theirs from the preview.
TEST_F(LargePreview, ResizedByTheBorder) {
    Dialog dialog;
    Run(dialog, [&](HWND hwnd) {
        const CanvasSize least = ClientOf(hwnd);
        RECT frame{};
        GetWindowRect(hwnd, &frame);
        const POINT corner{frame.right - 2, frame.bottom - 2};
        real_input::Drag(corner, {corner.x - 150, corner.y - 120});
        real_input::PumpUntil([] { return GetCapture() == nullptr; });
        EXPECT_EQ(ClientOf(hwnd).width, least.width);
        EXPECT_EQ(ClientOf(hwnd).height, least.height);

        // Panned by dragging the picture, then the border grabbed again after the time of a
        // double-click, which would otherwise be one.
        PreviewCanvas& canvas = dialog.MutableCanvas();
        RECT area{};
        GetWindowRect(canvas.Control(), &area);
        const POINT middle{(area.left + area.right) / 2, (area.top + area.bottom) / 2};
        real_input::Drag(middle, {middle.x - 100, middle.y - 50});
        EXPECT_EQ(canvas.ImageOrigin().x, 100);
        EXPECT_EQ(canvas.ImageOrigin().y, 50);
        Sleep(GetDoubleClickTime() + 50);
        const CanvasSize before{canvas.Pixels().Width(), canvas.Pixels().Height()};
        const CanvasPoint origin = canvas.ImageOrigin();
        RECT ok{};
        RECT check{};
        GetWindowRect(GetDlgItem(hwnd, IDOK), &ok);
        GetWindowRect(GetDlgItem(hwnd, kPreviewCheckId), &check);
        GetWindowRect(hwnd, &frame);
        real_input::Drag({frame.right - 2, frame.bottom - 2},
                         {frame.right - 2 + 120, frame.bottom - 2 + 80});
        real_input::PumpUntil([&] { return ClientOf(hwnd).width == least.width + 120; });
        ASSERT_EQ(ClientOf(hwnd).width, least.width + 120) << "from " << frame.right;
        EXPECT_EQ(ClientOf(hwnd).height, least.height + 80);
        UpdateWindow(canvas.Control());
        EXPECT_EQ(canvas.Pixels().Width(), before.width + 120);
        EXPECT_EQ(canvas.Pixels().Height(), before.height + 80);
        EXPECT_EQ(canvas.Scale(), 1);
        EXPECT_EQ(canvas.ImageOrigin().x, origin.x - 60);
        EXPECT_EQ(canvas.ImageOrigin().y, origin.y - 40);
        RECT movedOk{};
        RECT movedCheck{};
        GetWindowRect(GetDlgItem(hwnd, IDOK), &movedOk);
        GetWindowRect(GetDlgItem(hwnd, kPreviewCheckId), &movedCheck);
        EXPECT_EQ(movedOk.left - ok.left, 120);
        EXPECT_EQ(movedOk.top - ok.top, 80);
        EXPECT_EQ(movedCheck.left - check.left, 0);
        EXPECT_EQ(movedCheck.top - check.top, 80);
        EXPECT_EQ(Mismatches(canvas), 0);
        // Sized with the keyboard: Alt+Space, S, then the right edge moved and Enter.
        const CanvasSize dragged = ClientOf(hwnd);
        real_input::WindowMenu({'S', VK_RIGHT, VK_RIGHT, VK_RIGHT, VK_RETURN});
        real_input::PumpUntil([&] { return ClientOf(hwnd).width > dragged.width; });
        EXPECT_GT(ClientOf(hwnd).width, dragged.width);
        EXPECT_EQ(ClientOf(hwnd).height, dragged.height);
        EXPECT_EQ(canvas.Pixels().Width() - before.width, ClientOf(hwnd).width - least.width);
    });
}

// A stored size below the least, beyond the work area or not a number opens at the template's.
TEST_F(LargePreview, BadStoredSizesOpenAtTheTemplateSize) {
    const CanvasSize least = OpeningClient();
    const struct {
        const char* width;
        const char* height;
    } cases[] = {{"100", "300"}, {"300", "20"}, {"9000", "300"}, {"abc", "300"}, {"-400", "-300"}};
    for (const auto& c : cases) {
        Write("dialog_width", c.width);
        Write("dialog_height", c.height);
        const CanvasSize opened = OpeningClient();
        EXPECT_EQ(opened.width, least.width) << c.width << " x " << c.height;
        EXPECT_EQ(opened.height, least.height) << c.width << " x " << c.height;
    }
}

// Holding B, or the middle button, shows the picture uncorrected at the same scale and pan;
// letting go shows the correction again.
TEST_F(LargePreview, BeforeWhileBOrTheMiddleButtonIsHeld) {
    Dialog dialog;
    Run(dialog, [&](HWND) {
        PreviewCanvas& canvas = dialog.MutableCanvas();
        SetFocus(canvas.Control());
        real_input::Send(real_input::Key('B', false));
        ASSERT_TRUE(real_input::PumpUntil([&] { return canvas.ShowingBefore(); }));
        EXPECT_EQ(Mismatches(canvas, 0), 0) << "before";
        real_input::Send(real_input::Key('B', true));
        ASSERT_TRUE(real_input::PumpUntil([&] { return !canvas.ShowingBefore(); }));
        EXPECT_EQ(Mismatches(canvas), 0) << "after";
        RECT area{};
        GetWindowRect(canvas.Control(), &area);
        const POINT middle{(area.left + area.right) / 2, (area.top + area.bottom) / 2};
        real_input::Send(real_input::Mouse(middle, MOUSEEVENTF_MIDDLEDOWN));
        ASSERT_TRUE(real_input::PumpUntil([&] { return canvas.ShowingBefore(); }));
        EXPECT_EQ(Mismatches(canvas, 0), 0) << "middle button";
        real_input::Send(real_input::Mouse(middle, MOUSEEVENTF_MIDDLEUP));
        ASSERT_TRUE(real_input::PumpUntil([&] { return !canvas.ShowingBefore(); }));
        EXPECT_EQ(Mismatches(canvas), 0);
    });
}

// Guides drawn with the mouse along the converging edges of a picture that the perspective
// profile makes straight at a known difference: "Straighten along guides" (key A) finds that
// difference exactly. One guide, or a vertical and a horizontal one, changes nothing.
TEST_F(LargePreview, StraightenAlongGuidesDrawnWithTheMouse) {
    constexpr std::int32_t kMade = 37;
    const SelectionRect whole{0, 0, kWidth, kHeight};
    const auto source = [&](double x, double y) {
        return UncorrectedPoint({x, y}, whole, kShape, kMade, LineProfile::kPerspective);
    };
    // Two edges that the correction makes vertical, drawn dark on a light picture; all of them
    // within the part a maximised preview shows at 1:1.
    const Guide edges[] = {{source(450, 150), source(450, 780)},
                           {source(850, 120), source(850, 760)}};
    image.assign(image.size(), 0xFFD0D0D0u);
    for (const Guide& g : edges) {
        for (double f = 0; f <= 1; f += 0.0005) {
            const auto x = static_cast<std::int32_t>(g.a.x + (g.b.x - g.a.x) * f);
            const auto y = static_cast<std::int32_t>(g.a.y + (g.b.y - g.a.y) * f);
            for (std::int32_t dx = -1; dx <= 1; ++dx)
                image[PixelIndex(x + dx, y, kWidth)] = 0xFF202020u;
        }
    }
    Write("difference", "0");
    Dialog dialog;
    Run(dialog, [&](HWND hwnd) {
        real_input::WindowMenu({'X'});
        ASSERT_TRUE(real_input::PumpUntil([&] { return IsZoomed(hwnd) != FALSE; }));
        PreviewCanvas& canvas = dialog.MutableCanvas();
        ASSERT_EQ(canvas.Scale(), 1);
        SetFocus(canvas.Control());
        real_input::Press('D');
        ASSERT_TRUE(real_input::PumpUntil([&] { return canvas.DrawingGuides(); }));
        const auto screen = [&](const ImagePoint& p) {
            const ImagePoint at = canvas.Mapping().ToCanvas(p);
            POINT point{static_cast<LONG>(at.x), static_cast<LONG>(at.y)};
            ClientToScreen(canvas.Control(), &point);
            return point;
        };
        const auto draw = [&](const Guide& g) {
            Sleep(GetDoubleClickTime() + 50);  // each press a press of its own
            real_input::Drag(screen(g.a), screen(g.b));
        };
        const auto straighten = [&] {
            real_input::Press('A');
            real_input::PumpUntil([] { return false; }, 200);
            return test_host::Text(hwnd, kDifferenceEditId);
        };
        draw(edges[0]);
        ASSERT_EQ(canvas.Guides().size(), 1u);
        EXPECT_EQ(straighten(), "0") << "one guide";
        const LocalizedText& text = Module().Text();
        EXPECT_EQ(canvas.Notice(), WideFromShiftJis(text.TooFewGuidesNotice()));
        draw({source(300, 500), source(900, 540)});
        EXPECT_EQ(straighten(), "0") << "a vertical and a horizontal guide";
        EXPECT_EQ(canvas.Notice(), WideFromShiftJis(text.MixedGuidesNotice()));
        canvas.ClearGuides();
        for (const Guide& g : edges) draw(g);
        ASSERT_EQ(canvas.Guides().size(), 2u);
        EXPECT_EQ(straighten(), std::to_string(kMade));
        EXPECT_TRUE(Checked(hwnd, kFirstShapeRadioId + kShape));
    });
}

}  // namespace
