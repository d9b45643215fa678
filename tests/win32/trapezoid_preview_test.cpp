// The live preview of the real Trapezoid dialog: what the canvas holds after each change of the
// controls equals the portable rendering of those settings, and what the screen shows equals
// the canvas.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "plugin/filter_module.h"
#include "settings/settings_file.h"
#include "tests/engine_cases.h"
#include "tests/win32/dialog_script.h"
#include "tests/win32/test_host.h"
#include "ui/trapezoid_dialog.h"

namespace {

constexpr std::int32_t kWidth = 300;  // larger than the canvas both ways: every word is drawn
constexpr std::int32_t kHeight = 200;

class PreviewingDialog : public TrapezoidDialog {
   public:
    PreviewingDialog() : TrapezoidDialog(Module()) {}
    PreviewCanvas& MutableCanvas() { return canvas; }
    // Puts a text in the edit without the edit validation, as no user can.
    void ForceDifferenceText(const char* text) {
        updatingEdit = true;
        SetDlgItemTextA(hwnd, kDifferenceEditId, text);
        updatingEdit = false;
    }
    // Rows drawn over a region wider than the canvas, when asked to.
    bool RenderRows(CanvasBase& target, const CanvasPoint& destOrigin,
                    const CanvasPoint& sourceOrigin, const CanvasSize& size, std::int32_t shape,
                    std::int32_t difference, LineProfile profile, const FillParams& fill) override {
        ++rowRenders;
        const CanvasSize asked{size.width + (overreach ? 1 : 0), size.height};
        return TrapezoidDialog::RenderRows(target, destOrigin, sourceOrigin, asked, shape,
                                           difference, profile, fill);
    }
    int rowRenders = 0;
    bool overreach = false;
};

// What the settings look like on the canvas, rendered by the portable code.
struct Settings {
    std::int32_t shape;
    std::int32_t difference;
    std::int32_t mode;
    std::int32_t transparent;
    std::int32_t perspective = 0;
    std::int32_t proportions = 0;  // restored with the lens the settings file gives, 28 mm
};

class PreviewRendering : public ::testing::Test {
   protected:
    void SetUp() override {
        test_host::Reset();
        path = test_host::FreshModuleSettings();
        ASSERT_FALSE(path.empty());
        test_host::HostAnswers().foreground = engine_cases::kForeground;
        test_host::HostAnswers().background = engine_cases::kBackground;
        image = engine_cases::MakeImage(kWidth, kHeight);
    }
    void TearDown() override {
        test_host::HostAnswers().mask = nullptr;
        DeleteFileA(path.c_str());
    }

    INT_PTR Run(PreviewingDialog& dialog, const test_host::DialogScript& script) {
        return test_host::RunScripted(
            [&] { return dialog.RunWithImage(nullptr, image.data(), kWidth, kHeight); }, script);
    }

    // The canvas words the settings give for the image panned to `origin`, over the whole
    // canvas, with the host's current mask and the rectangle `rect`.
    CanvasPixels Expected(const PreviewCanvas& canvas, const Settings& s, SelectionRect rect,
                          CanvasPoint origin = {0, 0}) const {
        CanvasPixels expected;
        const std::int32_t w = canvas.Pixels().Width();
        const std::int32_t h = canvas.Pixels().Height();
        EXPECT_TRUE(expected.Allocate(w, h, 0));
        const FillParams fill = engine_cases::HostFill(s.mode, s.transparent, rect);
        const PreviewSource source{image.data(), kWidth, kHeight, test_host::HostAnswers().mask};
        MovedLines moved(kDefaultFocal);
        RenderTrapezoidPreview(expected, source, {{0, 0}, origin, {w, h}}, s.shape, s.difference,
                               ProfileOfSetting(s.perspective), fill,
                               s.perspective != 0 && s.proportions != 0 ? &moved : nullptr);
        return expected;
    }

    static int Mismatches(const CanvasPixels& shown, const CanvasPixels& expected) {
        int mismatches = 0;
        for (std::int32_t y = 0; y < expected.Height(); ++y) {
            for (std::int32_t x = 0; x < expected.Width(); ++x) {
                if (shown.At(x, y) != expected.At(x, y)) ++mismatches;
            }
        }
        return mismatches;
    }

    // The controls set as the user would: each change redraws the preview by itself.
    static void Choose(HWND dialog, const Settings& s) {
        if (IsDlgButtonChecked(dialog, kFirstShapeRadioId + s.shape) != BST_CHECKED) {
            test_host::Click(dialog, kFirstShapeRadioId + s.shape);
        }
        test_host::SetText(dialog, kDifferenceEditId, std::to_string(s.difference).c_str());
        test_host::SelectEntry(dialog, kUndefinedAreaComboId, s.mode);
        for (const auto& [id, on] : {std::pair{kTransparentCheckId, s.transparent},
                                     std::pair{kPerspectiveCheckId, s.perspective},
                                     std::pair{kProportionsCheckId, s.proportions}}) {
            if ((IsDlgButtonChecked(dialog, id) == BST_CHECKED) != (on != 0)) {
                test_host::Click(dialog, id);
            }
        }
    }

    static constexpr SelectionRect kWhole{0, 0, kWidth, kHeight};
    std::string path;
    std::vector<Pixel32> image;
};

TEST_F(PreviewRendering, EveryChangeOfTheControlsRedrawsIt) {
    PreviewingDialog dialog;
    Run(dialog, [&](HWND hwnd) {
        const PreviewCanvas& canvas = dialog.Canvas();
        ASSERT_EQ(canvas.Error(), CanvasError::kNone);
        if (!dialog.IsPreviewChecked()) test_host::Click(hwnd, kPreviewCheckId);
        const Settings steps[] = {
            {1, 50, 4, 0}, {5, 50, 4, 0},     {5, 50, 4, 1},   {5, 50, 2, 1},  {5, -45, 2, 1},
            {0, 30, 3, 0}, {0, 30, 3, 0, 1},  {3, -100, 0, 0}, {2, 100, 1, 1}, {2, 40, 1, 1, 1},
            {4, 7, 5, 0},  {4, -35, 5, 0, 1}, {0, -60, 0, 1}, {1, 30, 1, 0, 1, 1},
            {4, -25, 0, 1, 1, 1}, {4, -25, 0, 1, 0, 1}};
        for (const Settings& s : steps) {
            Choose(hwnd, s);
            EXPECT_EQ(Mismatches(canvas.Pixels(), Expected(canvas, s, kWhole)), 0)
                << s.shape << " " << s.difference << " " << s.mode << " " << s.transparent;
        }
        // Clearing the preview box shows the source, whatever the settings.
        test_host::Click(hwnd, kPreviewCheckId);
        EXPECT_EQ(Mismatches(canvas.Pixels(), Expected(canvas, {0, 0, 0, 0}, kWhole)), 0);
        EXPECT_EQ(canvas.Error(), CanvasError::kNone);
    });
}

TEST_F(PreviewRendering, PannedRegionAndPaintedPixels) {
    PreviewingDialog dialog;
    Run(dialog, [&](HWND hwnd) {
        if (!dialog.IsPreviewChecked()) test_host::Click(hwnd, kPreviewCheckId);
        const Settings s{1, 50, 4, 0};
        Choose(hwnd, s);
        PreviewCanvas& canvas = dialog.MutableCanvas();
        const CanvasSize size{canvas.Pixels().Width(), canvas.Pixels().Height()};
        // The canvas asks for the region at a panned origin: the same pixels the portable code
        // gives for that origin.
        const CanvasPoint origin{kWidth - size.width, 17};
        ASSERT_TRUE(dialog.RenderPreview(canvas, {0, 0}, origin, size));
        EXPECT_EQ(Mismatches(canvas.Pixels(), Expected(canvas, s, kWhole, origin)), 0);
        // What the screen shows after a paint is the buffer, word for word.
        canvas.Refresh();
        const HDC dc = GetDC(canvas.Control());
        int mismatches = 0;
        for (std::int32_t y = 0; y < size.height; y += 2) {
            for (std::int32_t x = 0; x < size.width; x += 2) {
                const std::uint32_t word = canvas.Pixels().At(x, y);
                if (GetPixel(dc, x, y) != RGB(word >> 16 & 0xFF, word >> 8 & 0xFF, word & 0xFF)) {
                    ++mismatches;
                }
            }
        }
        ReleaseDC(canvas.Control(), dc);
        EXPECT_EQ(mismatches, 0);
        EXPECT_EQ(Mismatches(canvas.Pixels(), Expected(canvas, s, kWhole)), 0);
    });
}

TEST_F(PreviewRendering, NoShapeCheckedAndTextsThatAreNotNumbers) {
    PreviewingDialog dialog;
    Run(dialog, [&](HWND hwnd) {
        if (!dialog.IsPreviewChecked()) test_host::Click(hwnd, kPreviewCheckId);
        Choose(hwnd, {4, 40, 0, 0});
        PreviewCanvas& canvas = dialog.MutableCanvas();
        for (int id = kFirstShapeRadioId; id <= kLastShapeRadioId; ++id) {
            SendDlgItemMessageA(hwnd, id, BM_SETCHECK, BST_UNCHECKED, 0);
        }
        canvas.Refresh();
        EXPECT_EQ(Mismatches(canvas.Pixels(), Expected(canvas, {0, 40, 0, 0}, kWhole)), 0);
        // No fill chosen in the list renders fill 0.
        SendDlgItemMessageA(hwnd, kUndefinedAreaComboId, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        canvas.Refresh();
        EXPECT_EQ(Mismatches(canvas.Pixels(), Expected(canvas, {0, 40, 0, 0}, kWhole)), 0);
        for (const char* text : {"abc", "", "-", "12a", "500"}) {
            dialog.ForceDifferenceText(text);
            canvas.Refresh();
            EXPECT_EQ(Mismatches(canvas.Pixels(), Expected(canvas, {0, 0, 0, 0}, kWhole)), 0)
                << text;
        }
    });
}

TEST_F(PreviewRendering, RowsAndColumnsByShapeAndAPixelOutsideStopsIt) {
    PreviewingDialog dialog;
    Run(dialog, [&](HWND hwnd) {
        if (!dialog.IsPreviewChecked()) test_host::Click(hwnd, kPreviewCheckId);
        Choose(hwnd, {4, 30, 0, 0});
        const int columnsOnly = dialog.rowRenders;
        Choose(hwnd, {2, 30, 0, 0});
        EXPECT_EQ(columnsOnly, 0);
        EXPECT_GT(dialog.rowRenders, 0);
        // A renderer that writes past the canvas: error 6, the control disabled, nothing shown.
        dialog.overreach = true;
        dialog.MutableCanvas().Refresh();
        EXPECT_EQ(dialog.Canvas().Error(), CanvasError::kPixelOutside);
        EXPECT_FALSE(IsWindowEnabled(dialog.Canvas().Control()));
    });
}

TEST_F(PreviewRendering, SelectionMaskFromTheHost) {
    // A selection in the middle with a hole: bytes 255 outside it and in the hole, 0 and 254
    // inside. The rectangle is the selection's bounds.
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(kWidth) * kHeight, 255);
    for (std::int32_t y = 40; y < 170; ++y) {
        for (std::int32_t x = 25; x < 260; ++x) {
            const bool hole = x >= 100 && x < 120 && y >= 60 && y < 90;
            mask[static_cast<std::size_t>(y) * kWidth + x] = hole ? 255 : (x % 2 ? 254 : 0);
        }
    }
    test_host::HostAnswers().mask = mask.data();
    PreviewingDialog dialog;
    Run(dialog, [&](HWND hwnd) {
        if (!dialog.IsPreviewChecked()) test_host::Click(hwnd, kPreviewCheckId);
        const PreviewCanvas& canvas = dialog.Canvas();
        const SelectionRect rect{25, 40, 260, 170};
        for (const Settings& s : {Settings{0, 60, 4, 0}, Settings{4, 35, 1, 1}}) {
            Choose(hwnd, s);
            EXPECT_EQ(Mismatches(canvas.Pixels(), Expected(canvas, s, rect)), 0) << s.shape;
            // Outside the selection the source shows: the top-left corner is not selected.
            const Pixel32 corner = image[0];
            EXPECT_EQ(canvas.Pixels().At(0, 0),
                      CompositeOverBoard(0, 0, corner, static_cast<std::uint8_t>(corner >> 24)));
        }
    });
    // Nothing selected: the bounds are empty and the source shows.
    std::fill(mask.begin(), mask.end(), 255);
    PreviewingDialog empty;
    Run(empty, [&](HWND hwnd) {
        if (!empty.IsPreviewChecked()) test_host::Click(hwnd, kPreviewCheckId);
        Choose(hwnd, {1, 100, 4, 0});
        EXPECT_EQ(
            Mismatches(empty.Canvas().Pixels(), Expected(empty.Canvas(), {0, 0, 0, 0}, kWhole)), 0);
    });
    // A host without the mask service: the whole image is the rectangle, every pixel
    // transformed.
    test_host::HostAnswers().mask = nullptr;
    PreviewingDialog whole;
    Run(whole, [&](HWND hwnd) {
        if (!whole.IsPreviewChecked()) test_host::Click(hwnd, kPreviewCheckId);
        const Settings s{3, 45, 0, 0};
        Choose(hwnd, s);
        EXPECT_EQ(Mismatches(whole.Canvas().Pixels(), Expected(whole.Canvas(), s, kWhole)), 0);
    });
}

// The wheel over the canvas zooms it while the difference edit has the focus: the dialog's loop
// hands it to the canvas, and the view at 1:2 is the portable one of the controls' settings.
TEST_F(PreviewRendering, WheelOverTheCanvasZoomsWhileTheEditHasTheFocus) {
    PreviewingDialog dialog;
    const Settings s{4, 35, 1, 1};
    Run(dialog, [&](HWND hwnd) {
        if (!dialog.IsPreviewChecked()) test_host::Click(hwnd, kPreviewCheckId);
        Choose(hwnd, s);
        const HWND edit = GetDlgItem(hwnd, kDifferenceEditId);
        SetFocus(edit);
        RECT area{};
        GetWindowRect(dialog.Canvas().Control(), &area);
        // Posted as the system posts it, to the focused control, for the dialog's own loop after
        // this script: a notch out over the canvas.
        PostMessageA(edit, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA),
                     MAKELPARAM(area.left + 5, area.top + 5));
    });
    const PreviewCanvas& canvas = dialog.Canvas();
    ASSERT_EQ(canvas.Scale(), 2);
    EXPECT_EQ(dialog.CurrentDifference(), s.difference) << "the edit's spin did not take it";
    const CanvasSize size{canvas.Pixels().Width(), canvas.Pixels().Height()};
    const CanvasSize view{ZoomedExtent(kWidth, 2), ZoomedExtent(kHeight, 2)};
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    CanvasPixels expected;
    ASSERT_TRUE(expected.Allocate(size.width, size.height,
                                  static_cast<std::uint32_t>(GetRValue(window)) << 16 |
                                      GetGValue(window) << 8 | GetBValue(window)));
    const CanvasPoint dest{std::max((size.width - view.width) / 2, 0),
                           std::max((size.height - view.height) / 2, 0)};
    RenderZoomedTrapezoidPreview(
        expected, {image.data(), kWidth, kHeight, nullptr},
        {dest,
         canvas.ImageOrigin(),
         {std::min(view.width, size.width), std::min(view.height, size.height)}},
        2, s.shape, s.difference, LineProfile::kClassic,
        engine_cases::HostFill(s.mode, s.transparent, kWhole));
    EXPECT_EQ(Mismatches(canvas.Pixels(), expected), 0);
}

}  // namespace
