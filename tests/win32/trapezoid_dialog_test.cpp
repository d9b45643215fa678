// The Trapezoid setup dialog on real windows: filled from the settings file, the difference edit
// with its spin and slider in step, refreshes only when something changes, OK and Cancel.
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
        for (const int id :
             {kPreviewCheckId, kTransparentCheckId, kPerspectiveCheckId, kProportionsCheckId}) {
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
        test_host::Click(hwnd, kProportionsCheckId);
        test_host::Click(hwnd, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    // The dialog's size, unchanged, is the template's in dialog units.
    const std::string size = test_host::ExpectsJapanese() ? "dialog_width=210\r\ndialog_height=201"
                                                          : "dialog_width=239\r\ndialog_height=189";
    EXPECT_EQ(File(),
              "[Trapezoid]\r\nshape=2\r\ndifference=-25\r\nundefarea=5\r\ntransparent=1\r\n"
              "preview=1\r\nperspective=1\r\nproportions=1\r\nfocal=28\r\n" +
                  size + "\r\npreview_fit=0\r\n");
}

// The proportions box is read from the file, enabled only while "Perspective" is checked (keeping
// its state while disabled) and written on OK; the lens is kept as read, a lens out of range as 28.
TEST_F(SetupDialog, ProportionsFollowPerspectiveAndTheLensIsKept) {
    const struct {
        const char* focal;
        const char* written;
    } lenses[] = {{"135", "135"}, {"5", "28"}};
    for (const auto& lens : lenses) {
        Write("perspective", "0");
        Write("proportions", "3");
        Write("focal", lens.focal);
        CountingDialog dialog;
        const INT_PTR result = Run(dialog, [&](HWND hwnd) {
            const HWND box = GetDlgItem(hwnd, kProportionsCheckId);
            EXPECT_TRUE(Checked(hwnd, kProportionsCheckId));
            EXPECT_FALSE(IsWindowEnabled(box));
            test_host::Click(hwnd, kPerspectiveCheckId);
            EXPECT_TRUE(IsWindowEnabled(box));
            test_host::Click(hwnd, kProportionsCheckId);
            test_host::Click(hwnd, kPerspectiveCheckId);
            EXPECT_FALSE(IsWindowEnabled(box));
            EXPECT_FALSE(Checked(hwnd, kProportionsCheckId));
            test_host::Click(hwnd, IDOK);
        });
        EXPECT_EQ(result, IDOK);
        EXPECT_NE(File().find("perspective=0\r\nproportions=0\r\nfocal=" +
                              std::string(lens.written) + "\r\n"),
                  std::string::npos)
            << File();
    }
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
            test_host::Click(hwnd, kProportionsCheckId);
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

}  // namespace
