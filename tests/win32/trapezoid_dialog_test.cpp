// The Trapezoid setup dialog on real windows: filled from the settings file, the difference edit
// with its spin and slider in step, refreshes only when something changes, OK and Cancel, and the
// preview's menu.
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

namespace {

// Counts the renders the canvas asks for.
class CountingDialog : public TrapezoidDialog {
   public:
    CountingDialog() : TrapezoidDialog(Module()) {}
    bool RenderPreview(CanvasBase& target, const CanvasPoint& destOrigin,
                       const CanvasPoint& sourceOrigin, const CanvasSize& size) override {
        ++renders;
        return TrapezoidDialog::RenderPreview(target, destOrigin, sourceOrigin, size);
    }
    int renders = 0;
};

int SliderPosition(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageA(dialog, kDifferenceSliderId, TBM_GETPOS, 0, 0));
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

class SetupDialog : public ::testing::Test {
   protected:
    void SetUp() override {
        test_host::Reset();
        path = test_host::FreshModuleSettings();
        ASSERT_FALSE(path.empty());
        image.assign(40 * 30, 0xFF336699u);
    }
    void TearDown() override { DeleteFileA(path.c_str()); }

    INT_PTR Run(CountingDialog& dialog, const test_host::DialogScript& script) {
        return test_host::RunScripted(
            [&] { return dialog.RunWithImage(nullptr, image.data(), width, height); }, script);
    }
    void Write(const char* key, const char* value) {
        WritePrivateProfileStringA("Trapezoid", key, value, path.c_str());
    }
    std::string File() const { return test_host::ReadWholeFile(path); }

    std::string path;
    std::vector<Pixel32> image;
    std::int32_t width = 40;
    std::int32_t height = 30;
};

// The width a check box's label takes: the check mark, the gap after it, and the text without
// its '&' in the control's font.
int LabelWidth(HWND box) {
    wchar_t label[64] = {};
    GetWindowTextW(box, label, 64);
    std::wstring text(label);
    text.erase(std::remove(text.begin(), text.end(), L'&'), text.end());
    const HDC dc = GetDC(box);
    const HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(box, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, previous);
    ReleaseDC(box, dc);
    constexpr int kGap = 4;  // between the check mark and the text
    return GetSystemMetrics(SM_CXMENUCHECK) + kGap + extent.cx;
}

int ClientWidth(HWND control) {
    RECT client{};
    GetClientRect(control, &client);
    return client.right;
}

TEST_F(SetupDialog, OpensInTheUserLanguage) {
    CountingDialog dialog;
    EXPECT_EQ(dialog.TemplateId(), test_host::ExpectsJapanese() ? 118 : 119);
    Run(dialog, [&](HWND hwnd) {
        wchar_t caption[32] = {};
        GetWindowTextW(hwnd, caption, 32);
        EXPECT_EQ(std::wstring(caption), test_host::ExpectedCaption());
        // Read as wide text: right whatever the system's code page.
        const wchar_t* const japanese[] = {L"\u7AEF\u306E\u753B\u7D20",
                                           L"\u5143\u306E\u753B\u7D20",
                                           L"\u63CF\u753B\u8272",
                                           L"\u80CC\u666F\u8272",
                                           L"\u767D",
                                           L"\u9ED2"};
        const wchar_t* const english[] = {L"edge pixel",       L"source pixel", L"foreground color",
                                          L"background color", L"white",        L"black"};
        const wchar_t* const* names = test_host::ExpectsJapanese() ? japanese : english;
        ASSERT_EQ(SendDlgItemMessageW(hwnd, kUndefinedAreaComboId, CB_GETCOUNT, 0, 0), 6);
        for (int i = 0; i < 6; ++i) {
            wchar_t text[64] = {};
            SendDlgItemMessageW(hwnd, kUndefinedAreaComboId, CB_GETLBTEXT, static_cast<WPARAM>(i),
                                reinterpret_cast<LPARAM>(text));
            EXPECT_EQ(std::wstring(text), names[i]) << i;
        }
        for (int id = kFirstShapeRadioId; id <= kLastShapeRadioId; ++id) {
            EXPECT_NE(SendDlgItemMessageA(hwnd, id, BM_GETIMAGE, IMAGE_ICON, 0), 0) << id;
        }
        // The check boxes' labels are drawn whole in the template's font: the text beside the
        // check mark fits the control.
        for (const int id : {kPreviewCheckId, kTransparentCheckId, kPerspectiveCheckId}) {
            EXPECT_LE(LabelWidth(GetDlgItem(hwnd, id)), ClientWidth(GetDlgItem(hwnd, id))) << id;
        }
    });
}

TEST_F(SetupDialog, ControlsComeFromTheSettingsFile) {
    Write("shape", "3");
    Write("difference", "150");
    Write("undefarea", "4");
    Write("transparent", "1");
    Write("preview", "0");
    Write("perspective", "7");  // any value but 0 is on
    CountingDialog dialog;
    Run(dialog, [&](HWND hwnd) {
        for (int id = kFirstShapeRadioId; id <= kLastShapeRadioId; ++id) {
            EXPECT_EQ(Checked(hwnd, id), id == 1068) << id;
        }
        EXPECT_EQ(test_host::Text(hwnd, kDifferenceEditId), "0") << "150 is out of range";
        EXPECT_EQ(SliderPosition(hwnd), 0);
        EXPECT_EQ(SendDlgItemMessageA(hwnd, kUndefinedAreaComboId, CB_GETCURSEL, 0, 0), 4);
        EXPECT_TRUE(Checked(hwnd, kTransparentCheckId));
        EXPECT_TRUE(Checked(hwnd, kPerspectiveCheckId));
        EXPECT_FALSE(Checked(hwnd, kPreviewCheckId));
        EXPECT_TRUE(Checked(hwnd, kSelectedRectangleCheckId));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwnd, kSelectedRectangleCheckId)));
        EXPECT_EQ(SendDlgItemMessageA(hwnd, kDifferenceSliderId, TBM_GETRANGEMIN, 0, 0), -100);
        EXPECT_EQ(SendDlgItemMessageA(hwnd, kDifferenceSliderId, TBM_GETRANGEMAX, 0, 0), 100);
        EXPECT_EQ(SendDlgItemMessageA(hwnd, kDifferenceSliderId, TBM_GETNUMTICS, 0, 0), 21);
    });
    Write("difference", "-100");
    Write("preview", "1");
    CountingDialog second;
    Run(second, [&](HWND hwnd) {
        EXPECT_EQ(test_host::Text(hwnd, kDifferenceEditId), "-100");
        EXPECT_EQ(SliderPosition(hwnd), -100);
        EXPECT_EQ(second.CurrentDifference(), -100);
        EXPECT_TRUE(Checked(hwnd, kPreviewCheckId));
    });
}

TEST_F(SetupDialog, HostileSettingsOpenAUsableDialog) {
    Write("shape", "99");
    Write("difference", "abc");
    Write("undefarea", "-4");
    Write("transparent", "2");
    Write("preview", "0x10");
    CountingDialog dialog;
    const INT_PTR result = Run(dialog, [&](HWND hwnd) {
        EXPECT_EQ(test_host::Text(hwnd, kDifferenceEditId), "0");
        int checked = 0;
        for (int id = kFirstShapeRadioId; id <= kLastShapeRadioId; ++id)
            checked += Checked(hwnd, id);
        EXPECT_EQ(checked, 1);
        EXPECT_GE(SendDlgItemMessageA(hwnd, kUndefinedAreaComboId, CB_GETCURSEL, 0, 0), 0);
        test_host::SetText(hwnd, kDifferenceEditId, "12");
        test_host::Click(hwnd, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    TrapezoidSettings settings{};
    EXPECT_TRUE(ReadSettings(Module().SettingsFilePath(), &settings, true));
    EXPECT_EQ(settings.difference, 12);
}

TEST_F(SetupDialog, DifferenceEditRefusesAndAcceptsTexts) {
    Write("difference", "7");
    CountingDialog dialog;
    Run(dialog, [&](HWND hwnd) {
        for (const char* refused : {"-", "", "05", "-0", "+5", "101", "-101", "12a", "00", " 5",
                                    "5.5", "--5", "99999999999999"}) {
            test_host::SetText(hwnd, kDifferenceEditId, refused);
            EXPECT_EQ(test_host::Text(hwnd, kDifferenceEditId), "7") << '"' << refused << '"';
            EXPECT_EQ(dialog.CurrentDifference(), 7);
            EXPECT_EQ(SliderPosition(hwnd), 7);
        }
        for (const char* accepted : {"0", "-100", "100", "-7"}) {
            test_host::SetText(hwnd, kDifferenceEditId, accepted);
            EXPECT_EQ(test_host::Text(hwnd, kDifferenceEditId), accepted);
            EXPECT_EQ(dialog.CurrentDifference(), std::atoi(accepted));
            EXPECT_EQ(SliderPosition(hwnd), std::atoi(accepted));
        }
    });
}

TEST_F(SetupDialog, SliderNotificationsMoveTheDifference) {
    CountingDialog dialog;
    Run(dialog, [&](HWND hwnd) {
        const HWND slider = GetDlgItem(hwnd, kDifferenceSliderId);
        auto scroll = [&](WORD code, short thumb = 0) {
            return SendMessageA(hwnd, WM_HSCROLL, MAKEWPARAM(code, static_cast<WORD>(thumb)),
                                reinterpret_cast<LPARAM>(slider));
        };
        const struct {
            const char* start;
            WORD code;
            short thumb;
            const char* expected;
        } cases[] = {
            {"-95", TB_PAGEUP, 0, "-100"},    {"95", TB_PAGEDOWN, 0, "100"},
            {"3", TB_TOP, 0, "-100"},         {"3", TB_BOTTOM, 0, "100"},
            {"0", TB_THUMBTRACK, -37, "-37"}, {"0", TB_THUMBPOSITION, 64, "64"},
            {"5", TB_LINEUP, 0, "4"},         {"5", TB_LINEDOWN, 0, "6"},
            {"-100", TB_LINEUP, 0, "-100"},   {"100", TB_LINEDOWN, 0, "100"},
        };
        for (const auto& c : cases) {
            test_host::SetText(hwnd, kDifferenceEditId, c.start);
            scroll(c.code, c.thumb);
            EXPECT_EQ(test_host::Text(hwnd, kDifferenceEditId), c.expected)
                << c.start << " code " << c.code;
            EXPECT_EQ(SliderPosition(hwnd), std::atoi(c.expected));
        }
        // The procedure's own answer: handled for a new value, not for the end of a drag.
        const LPARAM from = reinterpret_cast<LPARAM>(slider);
        EXPECT_EQ(dialog.HandleMessage(hwnd, WM_HSCROLL, TB_LINEUP, from), 1);
        EXPECT_EQ(dialog.HandleMessage(hwnd, WM_HSCROLL, TB_ENDTRACK, from), 0);
        EXPECT_EQ(dialog.HandleMessage(hwnd, WM_HSCROLL, 9, from), 0);
        EXPECT_EQ(test_host::Text(hwnd, kDifferenceEditId), "99");
        // The slider's own keys: its page size is not ours, the dialog's step of 10 wins.
        test_host::SetText(hwnd, kDifferenceEditId, "20");
        SendMessageA(slider, WM_KEYDOWN, VK_NEXT, 0);
        EXPECT_EQ(test_host::Text(hwnd, kDifferenceEditId), "30");
        EXPECT_EQ(SliderPosition(hwnd), 30);
        SendMessageA(slider, WM_KEYDOWN, VK_HOME, 0);
        EXPECT_EQ(test_host::Text(hwnd, kDifferenceEditId), "-100");
    });
}

TEST_F(SetupDialog, SpinArrowsStopAtTheLimits) {
    CountingDialog dialog;
    Run(dialog, [&](HWND hwnd) {
        const HWND edit = GetDlgItem(hwnd, kDifferenceEditId);
        test_host::SetText(hwnd, kDifferenceEditId, "99");
        for (const char* expected : {"100", "100"}) {
            SendMessageA(edit, WM_KEYDOWN, VK_UP, 0);
            SendMessageA(edit, WM_KEYUP, VK_UP, 0);
            EXPECT_EQ(test_host::Text(hwnd, kDifferenceEditId), expected);
        }
        EXPECT_EQ(SliderPosition(hwnd), 100);
        test_host::SetText(hwnd, kDifferenceEditId, "-99");
        for (const char* expected : {"-100", "-100"}) {
            SendMessageA(edit, WM_KEYDOWN, VK_DOWN, 0);
            SendMessageA(edit, WM_KEYUP, VK_DOWN, 0);
            EXPECT_EQ(test_host::Text(hwnd, kDifferenceEditId), expected);
        }
        EXPECT_EQ(dialog.CurrentDifference(), -100);
    });
}

TEST_F(SetupDialog, RefreshesOnlyWhenPreviewingAndSomethingChanged) {
    Write("difference", "10");
    CountingDialog dialog;
    Run(dialog, [&](HWND hwnd) {
        ASSERT_FALSE(Checked(hwnd, kPreviewCheckId));
        int renders = dialog.renders;
        test_host::Click(hwnd, 1066);
        test_host::SetText(hwnd, kDifferenceEditId, "20");
        test_host::SelectEntry(hwnd, kUndefinedAreaComboId, 3);
        test_host::Click(hwnd, kTransparentCheckId);
        test_host::Click(hwnd, kPerspectiveCheckId);
        EXPECT_EQ(dialog.renders, renders) << "preview off: nothing redrawn";

        test_host::Click(hwnd, kPreviewCheckId);
        EXPECT_EQ(dialog.renders, ++renders);
        test_host::Click(hwnd, 1069);
        EXPECT_EQ(dialog.renders, ++renders);
        test_host::SetText(hwnd, kDifferenceEditId, "21");
        EXPECT_EQ(dialog.renders, ++renders);
        test_host::SetText(hwnd, kDifferenceEditId, "21");
        test_host::SetText(hwnd, kDifferenceEditId, "x");
        EXPECT_EQ(dialog.renders, renders) << "the same value and a refused text redraw nothing";
        EXPECT_EQ(SliderPosition(hwnd), 21);
        test_host::SelectEntry(hwnd, kUndefinedAreaComboId, 5);
        EXPECT_EQ(dialog.renders, ++renders);
        test_host::Click(hwnd, kTransparentCheckId);
        EXPECT_EQ(dialog.renders, ++renders);
        test_host::Click(hwnd, kPerspectiveCheckId);
        EXPECT_EQ(dialog.renders, ++renders);
        test_host::Click(hwnd, kPreviewCheckId);
        EXPECT_EQ(dialog.renders, ++renders) << "clearing the box redraws the source";
    });
}

TEST_F(SetupDialog, OkWritesTheKeysInOrder) {
    CountingDialog dialog;
    const INT_PTR result = Run(dialog, [&](HWND hwnd) {
        test_host::Click(hwnd, 1067);
        test_host::SetText(hwnd, kDifferenceEditId, "-25");
        test_host::SelectEntry(hwnd, kUndefinedAreaComboId, 5);
        test_host::Click(hwnd, kTransparentCheckId);
        test_host::Click(hwnd, kPreviewCheckId);
        test_host::Click(hwnd, kPerspectiveCheckId);
        test_host::Click(hwnd, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(File(),
              "[Trapezoid]\r\nshape=2\r\ndifference=-25\r\nundefarea=5\r\ntransparent=1\r\n"
              "preview=1\r\nperspective=1\r\n");
}

TEST_F(SetupDialog, CancelEscapeAndCloseLeaveTheFileAsItWas) {
    {
        std::ofstream out(path, std::ios::binary);
        out << "; kept\n[Trapezoid]\nshape=1\ndifference=33\n[Other]\nx=y\n";
    }
    const std::string before = File();
    const std::vector<test_host::DialogScript> endings = {
        [](HWND hwnd) { test_host::Click(hwnd, IDCANCEL); },
        [](HWND) { PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0x00010001); },
        [](HWND hwnd) { PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    for (const auto& ending : endings) {
        CountingDialog dialog;
        const INT_PTR result = Run(dialog, [&](HWND hwnd) {
            test_host::Click(hwnd, 1070);
            test_host::SetText(hwnd, kDifferenceEditId, "-60");
            test_host::SelectEntry(hwnd, kUndefinedAreaComboId, 2);
            test_host::Click(hwnd, kTransparentCheckId);
            test_host::Click(hwnd, kPreviewCheckId);
            test_host::Click(hwnd, kPerspectiveCheckId);
            ending(hwnd);
        });
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_EQ(File(), before);
    }
}

TEST_F(SetupDialog, SelectionRectangleFromTheHostMask) {
    std::vector<std::uint8_t> mask(40 * 30, 255);
    mask[5 * 40 + 7] = 0;
    mask[20 * 40 + 30] = 128;
    test_host::HostAnswers().mask = mask.data();
    CountingDialog dialog;
    Run(dialog, [&](HWND) {
        const SelectionRect& r = dialog.Selection();
        EXPECT_EQ(r.left, 7);
        EXPECT_EQ(r.top, 5);
        EXPECT_EQ(r.right, 31);
        EXPECT_EQ(r.bottom, 21);
    });
    test_host::HostAnswers().mask = nullptr;  // a host without the mask service
    CountingDialog whole;
    Run(whole, [&](HWND) {
        const SelectionRect& r = whole.Selection();
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.top, 0);
        EXPECT_EQ(r.right, 40);
        EXPECT_EQ(r.bottom, 30);
    });
}

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
                                        L"\u30B0\u30EA\u30C3\u30C9\u3092\u8868\u793A"}
            : std::vector<std::wstring>{L"Straighten verticals", L"Straighten horizontals",
                                        L"Fit whole picture", L"Actual pixels (1:1)",
                                        L"Show grid"};
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
        EXPECT_TRUE(dialog.checked.back()) << "the menu's entry checked";
        // The key, through the dialog's own handling of keys, while the preview has the focus.
        SetFocus(preview);
        MSG key{preview, WM_KEYDOWN, kGridKey, 1, 0, {0, 0}};
        if (!IsDialogMessageA(hwnd, &key)) DispatchMessageA(&key);
        EXPECT_FALSE(canvas.GridShown());
        EXPECT_FALSE(shown());
    });
}

}  // namespace
