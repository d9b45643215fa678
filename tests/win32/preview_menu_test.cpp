// The Trapezoid setup dialog's preview menu on real windows: its entries in the user's language,
// straightening, zoom and the grid.
#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "plugin/filter_module.h"
#include "settings/settings_file.h"
#include "tests/win32/dialog_script.h"
#include "tests/win32/test_host.h"
#include "ui/trapezoid_dialog.h"

#include "tests/win32/setup_dialog_fixture.h"

namespace {

using namespace setup_dialog_test;

// A dialog whose preview menu is answered from the keyboard: it records the entries of each menu
// that opens and then chooses entry `choice` (counting no separators), or closes it when -1.
class MenuDialog : public CountingDialog {
   public:
    std::int32_t HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_INITMENUPOPUP) {
            ++menusOpened;
            RecordEntries(reinterpret_cast<HMENU>(wParam));
            // The menu's own loop reads these keys from the thread's queue.
            for (int i = 0; i <= choice; ++i) PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
            PostMessageA(window, WM_KEYDOWN, choice < 0 ? VK_ESCAPE : VK_RETURN, 0);
        }
        return CountingDialog::HandleMessage(window, message, wParam, lParam);
    }
    void RecordEntries(HMENU menu) {
        entries.clear();
        checked.clear();
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[64] = {};
            const auto at = static_cast<UINT>(i);
            if (GetMenuStringW(menu, at, text, 64, MF_BYPOSITION) > 0) {
                entries.push_back(text);
                checked.push_back((GetMenuState(menu, at, MF_BYPOSITION) & MF_CHECKED) != 0);
            }
        }
    }
    int choice = -1;
    int menusOpened = 0;
    std::vector<std::wstring> entries;
    std::vector<bool> checked;
};

// Opens the preview's menu with a right-click in the middle of the preview.
void RightClickPreview(HWND dialog) {
    const HWND preview = GetDlgItem(dialog, kPreviewCanvasId);
    RECT client{};
    GetClientRect(preview, &client);
    const LPARAM at = MAKELPARAM(client.right / 2, client.bottom / 2);
    SendMessageA(preview, WM_RBUTTONDOWN, MK_RBUTTON, at);
    SendMessageA(preview, WM_RBUTTONUP, 0, at);
}

// What the screen shows at a window's client position.
COLORREF ShownPixel(HWND window, int x, int y) {
    const HDC dc = GetDC(window);
    const COLORREF shown = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return shown;
}

// Dark bars on a light ground that come closer together towards the top, where they stand
// `topRatio` as far from the centre as at the bottom; edges anti-aliased by their coverage.
std::vector<Pixel32> ConvergingBars(std::int32_t width, std::int32_t height, double topRatio) {
    std::vector<Pixel32> pixels(static_cast<std::size_t>(width * height));
    const double centre = width * 0.5;
    for (std::int32_t y = 0; y < height; ++y) {
        const double spread = topRatio + (1 - topRatio) * (y + 0.5) / height;
        for (std::int32_t x = 0; x < width; ++x) {
            double cover = 0;
            for (const double offset : {-100.0, -65.0, -30.0, 30.0, 65.0, 100.0}) {
                const double bar = centre + offset * spread;
                cover += std::max(0.0, std::min(x + 1.0, bar + 2.5) - std::max(x + 0.0, bar - 2.5));
            }
            const auto level = static_cast<Pixel32>(230 - 200 * std::min(cover, 1.0));
            pixels[static_cast<std::size_t>(y * width + x)] = 0xFF000000u | level * 0x010101u;
        }
    }
    return pixels;
}

TEST_F(SetupDialog, PreviewMenuOpensInTheUserLanguage) {
    const std::vector<std::wstring> expected =
        test_host::ExpectsJapanese()
            ? std::vector<std::wstring>{L"\u5782\u76F4\u7DDA\u3092\u307E\u3063\u3059\u3050\u306B"
                                        L"\u3059\u308B",
                                        L"\u6C34\u5E73\u7DDA\u3092\u307E\u3063\u3059\u3050\u306B"
                                        L"\u3059\u308B",
                                        L"\u5168\u4F53\u3092\u8868\u793A",
                                        L"\u7B49\u500D\u3067\u8868\u793A",
                                        L"\u30B0\u30EA\u30C3\u30C9\u3092\u8868\u793A",
                                        L"\u30AC\u30A4\u30C9\u3092\u63CF\u304F",
                                        L"\u30AC\u30A4\u30C9\u3092\u6D88\u53BB",
                                        L"\u30AC\u30A4\u30C9\u306B\u6CBF\u3063\u3066"
                                        L"\u88DC\u6B63"}
            : std::vector<std::wstring>{L"Straighten verticals", L"Straighten horizontals",
                                        L"Fit whole picture",    L"Actual pixels (1:1)",
                                        L"Show grid",            L"Draw guides",
                                        L"Clear guides",         L"Straighten along guides"};
    // The mouse, then the two menu keys sent where the keyboard goes: to the focus, which the
    // right-click, and then Tab, gave the preview.
    auto keys = [](WORD key, bool shift) {
        BYTE state[256] = {};
        GetKeyboardState(state);
        state[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(state);
        const UINT down = key == VK_F10 ? WM_SYSKEYDOWN : WM_KEYDOWN;
        SendMessageA(GetFocus(), down, key, 1);
        if (key == VK_APPS) SendMessageA(GetFocus(), WM_KEYUP, key, 0xC0000001);
        test_host::PumpMessages();
        state[VK_SHIFT] = 0;
        SetKeyboardState(state);
    };
    const std::vector<std::function<void(HWND)>> openers = {
        RightClickPreview,
        [&](HWND) { keys(VK_F10, true); },
        [&](HWND hwnd) {
            // Tab from the control before it, past the disabled one, as the dialog's loop does.
            SetFocus(GetDlgItem(hwnd, kTransparentCheckId));
            MSG tab{GetFocus(), WM_KEYDOWN, VK_TAB, 1, 0, {0, 0}};
            IsDialogMessageA(hwnd, &tab);
            keys(VK_APPS, false);
        },
    };
    MenuDialog dialog;
    Run(dialog, [&](HWND hwnd) {
        for (std::size_t i = 0; i < openers.size(); ++i) {
            dialog.entries.clear();
            openers[i](hwnd);
            EXPECT_EQ(GetFocus(), GetDlgItem(hwnd, kPreviewCanvasId)) << i;
            EXPECT_EQ(dialog.menusOpened, static_cast<int>(i + 1)) << "opener " << i;
            EXPECT_EQ(dialog.entries, expected) << "opener " << i;
        }
    });
}

TEST_F(SetupDialog, StraightenVerticalsSetsTheControlsInStep) {
    Write("preview", "1");
    const std::string before = File();
    width = 240;
    height = 180;
    // The bars stand at 0.8 of their bottom spread at the top: squeezing the bottom edge by 20 %
    // makes them upright.
    image = ConvergingBars(width, height, /*topRatio=*/0.8);
    MenuDialog dialog;
    dialog.choice = 0;
    const INT_PTR result = Run(dialog, [&](HWND hwnd) {
        const int renders = dialog.renders;
        RightClickPreview(hwnd);
        EXPECT_TRUE(Checked(hwnd, 1067)) << "the bottom edge, squeezed";
        const int difference = dialog.CurrentDifference();
        EXPECT_NEAR(difference, 20, 2);
        EXPECT_EQ(test_host::Text(hwnd, kDifferenceEditId), std::to_string(difference));
        EXPECT_EQ(SliderPosition(hwnd), difference);
        EXPECT_EQ(SendDlgItemMessageA(hwnd, kDifferenceSpinId, UDM_GETPOS32, 0, 0), difference);
        EXPECT_EQ(dialog.renders, renders + 1);
        EXPECT_TRUE(dialog.Canvas().Notice().empty());
        test_host::Click(hwnd, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(File(), before);
}

TEST_F(SetupDialog, StraightenWithoutLinesOnlyShowsTheNotice) {
    Write("preview", "1");
    Write("shape", "4");
    Write("difference", "7");
    width = 240;
    height = 180;
    image.resize(240 * 180);
    std::mt19937 rng(5);
    for (Pixel32& pixel : image) pixel = 0xFF000000u | (rng() % 256) * 0x010101u;
    const std::wstring notice = test_host::ExpectsJapanese() ? L"直線が見つかりませ"
                                                               L"ん。"
                                                             : L"No straight lines found.";
    for (const int choice : {0, 1}) {
        MenuDialog dialog;
        dialog.choice = choice;
        Run(dialog, [&](HWND hwnd) {
            const int renders = dialog.renders;
            RightClickPreview(hwnd);
            EXPECT_TRUE(Checked(hwnd, 1069)) << choice;
            EXPECT_EQ(test_host::Text(hwnd, kDifferenceEditId), "7");
            EXPECT_EQ(SliderPosition(hwnd), 7);
            EXPECT_EQ(dialog.renders, renders) << "drawn over the preview, not rendered again";
            EXPECT_EQ(dialog.Canvas().Notice(), notice);
            const HWND preview = GetDlgItem(hwnd, kPreviewCanvasId);
            EXPECT_EQ(ShownPixel(preview, 4, 4), RGB(0, 0, 0)) << "inside the notice's box";
            // The notice's time is up: the preview as rendered shows again.
            SendMessageA(preview, WM_TIMER, kNoticeTimerId, 0);
            EXPECT_TRUE(dialog.Canvas().Notice().empty());
            const std::uint32_t word = dialog.Canvas().Pixels().At(4, 4);
            EXPECT_EQ(ShownPixel(preview, 4, 4),
                      RGB(word >> 16 & 0xFF, word >> 8 & 0xFF, word & 0xFF));
        });
    }
}

TEST_F(SetupDialog, ZoomEntriesChangeTheScale) {
    width = 600;
    height = 450;
    image.assign(600 * 450, 0xFF336699u);
    MenuDialog dialog;
    Run(dialog, [&](HWND hwnd) {
        const PreviewCanvas& canvas = dialog.Canvas();
        ASSERT_GT(canvas.FittingScale(), 1);
        const struct {
            int choice;
            std::int32_t scale;
        } cases[] = {{2, canvas.FittingScale()}, {3, 1}, {2, canvas.FittingScale()}};
        for (const auto& c : cases) {
            dialog.choice = c.choice;
            RightClickPreview(hwnd);
            EXPECT_EQ(canvas.Scale(), c.scale) << c.choice;
        }
    });
}

// The grid: from the menu or the G key, drawn over the preview as shown, never into its pixels,
// and kept through renders and zoom until toggled again.
TEST_F(SetupDialog, GridShowsOverThePreviewUntilToggledAgain) {
    width = 600;
    height = 450;
    const Pixel32 grey = 0xFF808080u;  // neither of the grid's colours
    image.assign(600 * 450, grey);
    Write("preview", "1");
    Write("difference", "20");
    MenuDialog dialog;
    Run(dialog, [&](HWND hwnd) {
        const HWND preview = GetDlgItem(hwnd, kPreviewCanvasId);
        const PreviewCanvas& canvas = dialog.Canvas();
        // A vertical line runs through the centre; a black dash starts every 8 rows down it.
        const int x = canvas.Pixels().Width() / 2;
        const int across = canvas.Pixels().Height() / 2 % kGridSpacing;
        int y = 1;
        while ((y - across) % kGridSpacing == 0 || (y + kGridDash - across) % kGridSpacing == 0) {
            y += 2 * kGridDash;
        }
        const auto shown = [&] {
            return ShownPixel(preview, x, y) == RGB(0, 0, 0) &&
                   ShownPixel(preview, x, y + kGridDash) == RGB(255, 255, 255);
        };
        EXPECT_FALSE(shown());
        dialog.choice = static_cast<int>(PreviewMenuEntry::kShowGrid);
        RightClickPreview(hwnd);
        EXPECT_TRUE(canvas.GridShown());
        EXPECT_TRUE(shown());
        EXPECT_EQ(canvas.Pixels().At(x, y), grey & 0xFFFFFFu) << "the rendered pixels unchanged";
        test_host::Click(hwnd, kTransparentCheckId);
        EXPECT_TRUE(shown()) << "after a render";
        dialog.choice = static_cast<int>(PreviewMenuEntry::kFitWholePicture);
        RightClickPreview(hwnd);
        EXPECT_GT(canvas.Scale(), 1);
        EXPECT_TRUE(shown()) << "after a zoom";
        EXPECT_TRUE(dialog.checked.at(static_cast<std::size_t>(PreviewMenuEntry::kShowGrid)))
            << "the menu's entry checked";
        // The key, through the dialog's own handling of keys, while the preview has the focus.
        SetFocus(preview);
        MSG key{preview, WM_KEYDOWN, kGridKey, 1, 0, {0, 0}};
        if (!IsDialogMessageA(hwnd, &key)) DispatchMessageA(&key);
        EXPECT_FALSE(canvas.GridShown());
        EXPECT_FALSE(shown());
    });
}

}  // namespace
