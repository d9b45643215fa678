// The plug-in's Win32 code linked into a test host: the settings file written from real dialog
// controls and read back, the host services through the test's own KVF_QueryClientInfo.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>

#include "plugin/filter_module.h"
#include "settings/settings_file.h"
#include "tests/win32/test_host.h"
#include "ui/trapezoid_controls.h"

// Lets a test put a filter of its own into the module's list.
struct FilterModuleTestAccess {
    static void Add(FilterModule& module, FilterBase* filter) { module.filters.push_back(filter); }
};

namespace {

// The module object of this program stands in for the plug-in's: its settings file lies
// beside the test program.
class PluginWin32 : public ::testing::Test {
   protected:
    void SetUp() override {
        test_host::Reset();
        path = test_host::FreshModuleSettings();
        ASSERT_FALSE(path.empty());
        dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(500), nullptr,
                                    Procedure, 0);
        ASSERT_NE(dialog, nullptr);
        SendDlgItemMessageA(dialog, kUndefinedAreaComboId, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>("a"));
        SendDlgItemMessageA(dialog, kUndefinedAreaComboId, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>("b"));
    }
    void TearDown() override {
        DestroyWindow(dialog);
        DeleteFileA(path.c_str());
    }
    static INT_PTR CALLBACK Procedure(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

    std::string File() const { return test_host::ReadWholeFile(path); }

    std::string path;
    HWND dialog = nullptr;
};

TEST_F(PluginWin32, OkWritesTheEightKeysInOrder) {
    CheckRadioButton(dialog, kFirstShapeRadioId, kLastShapeRadioId, 1068);
    SetDlgItemTextA(dialog, kDifferenceEditId, "-25");
    SendDlgItemMessageA(dialog, kUndefinedAreaComboId, CB_SETCURSEL, 1, 0);
    CheckDlgButton(dialog, kTransparentCheckId, BST_INDETERMINATE);
    CheckDlgButton(dialog, kPreviewCheckId, BST_CHECKED);
    CheckDlgButton(dialog, kPerspectiveCheckId, BST_CHECKED);
    EXPECT_TRUE(WriteSettings(SettingsFromControls(dialog), Module().SettingsFilePath()));
    EXPECT_EQ(File(),
              "[Trapezoid]\r\nshape=3\r\ndifference=-25\r\nundefarea=1\r\ntransparent=0\r\n"
              "preview=1\r\nperspective=1\r\nproportions=0\r\nfocal=28\r\n");
    TrapezoidSettings s{};
    EXPECT_TRUE(ReadSettings(Module().SettingsFilePath(), &s, true));
    EXPECT_EQ(s.shape, 3);
    EXPECT_EQ(s.difference, -25);
    EXPECT_EQ(s.fill.mode, 1);
    EXPECT_EQ(s.fill.transparent, 0);
    EXPECT_EQ(s.preview, 1);
    EXPECT_EQ(s.perspective, 1);
}

TEST_F(PluginWin32, ControlsWithoutAValueLeaveTheirKeys) {
    WritePrivateProfileStringA("Trapezoid", "shape", "4", path.c_str());
    WritePrivateProfileStringA("Trapezoid", "difference", "77", path.c_str());
    WritePrivateProfileStringA("Trapezoid", "undefarea", "5", path.c_str());
    for (const char* text : {"", "abc", "12x", "- 3"}) {
        SetDlgItemTextA(dialog, kDifferenceEditId, text);
        EXPECT_TRUE(WriteSettings(SettingsFromControls(dialog), Module().SettingsFilePath()));
        TrapezoidSettings s{};
        EXPECT_TRUE(ReadSettings(Module().SettingsFilePath(), &s, true));
        EXPECT_EQ(s.difference, 77) << text;  // not an integer: kept
        EXPECT_EQ(s.shape, 4);                // no radio checked: kept
        EXPECT_EQ(s.fill.mode, 5);            // no list selection: kept
        EXPECT_EQ(s.fill.transparent, 0);     // check boxes are always written
    }
}

TEST_F(PluginWin32, ReadRulesAndValidation) {
    TrapezoidSettings s{};
    EXPECT_TRUE(
        ReadSettings(Module().SettingsFilePath(), &s, true));  // no file: all zero and valid
    EXPECT_EQ(s.shape, 0);
    EXPECT_EQ(s.difference, 0);
    const struct {
        const char* difference;
        bool valid;
    } cases[] = {{"100", true}, {"-100", true}, {"101", false}, {"-101", false}, {"0x10", true}};
    for (const auto& c : cases) {
        WritePrivateProfileStringA("Trapezoid", "difference", c.difference, path.c_str());
        EXPECT_EQ(ReadSettings(Module().SettingsFilePath(), &s, true), c.valid) << c.difference;
        EXPECT_TRUE(ReadSettings(Module().SettingsFilePath(), &s, false));
    }
    WritePrivateProfileStringA("Trapezoid", "shape", "6", path.c_str());
    WritePrivateProfileStringA("Trapezoid", "undefarea", "-1", path.c_str());
    WritePrivateProfileStringA("Trapezoid", "transparent", "2", path.c_str());
    WritePrivateProfileStringA("Trapezoid", "perspective", "-3", path.c_str());
    EXPECT_TRUE(ReadSettings(Module().SettingsFilePath(), &s, false));
    EXPECT_EQ(s.shape, 0);
    EXPECT_EQ(s.fill.mode, 0);
    EXPECT_EQ(s.fill.transparent, 2);
    EXPECT_EQ(ProfileOfSetting(s.perspective), LineProfile::kPerspective);
    EXPECT_EQ(s.focal, 28) << "missing";
    WritePrivateProfileStringA("Trapezoid", "proportions", "-3", path.c_str());
    for (const auto& [focal, read] : {std::pair{"800", 800}, std::pair{"8", 8}, std::pair{"7", 28},
                                      std::pair{"801", 28}, std::pair{"abc", 28}}) {
        WritePrivateProfileStringA("Trapezoid", "focal", focal, path.c_str());
        EXPECT_TRUE(ReadSettings(Module().SettingsFilePath(), &s, false));
        EXPECT_EQ(s.focal, read) << focal;
        EXPECT_TRUE(RestoresProportions(s));
    }
    WritePrivateProfileStringA("Trapezoid", "perspective", "0", path.c_str());
    EXPECT_TRUE(ReadSettings(Module().SettingsFilePath(), &s, false));
    EXPECT_FALSE(RestoresProportions(s)) << "only with the perspective profile";
}

TEST_F(PluginWin32, SelectionBoundsFromTheHostMask) {
    const std::uint8_t mask[] = {255, 255, 255, 255, 0, 254, 255, 255, 255, 255, 9, 255};
    const std::uint8_t* got = nullptr;
    SelectionRect r{-1, -1, -1, -1};
    EXPECT_EQ(Module().SelectionBounds(&got, &r, 4, 3), 0);  // no mask: nothing written
    EXPECT_EQ(r.left, -1);
    test_host::HostAnswers().mask = mask;
    EXPECT_EQ(Module().SelectionBounds(&got, &r, 4, 3), 1);
    EXPECT_EQ(got, mask);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 1);
    EXPECT_EQ(r.right, 3);
    EXPECT_EQ(r.bottom, 3);
    got = nullptr;
    EXPECT_EQ(Module().SelectionBounds(&got, nullptr, 4, 3), 1);
    EXPECT_EQ(got, mask);
    test_host::HostAnswers().maskAnswerWithoutPointer = true;  // a yes without a mask is a no
    EXPECT_EQ(Module().SelectionBounds(&got, &r, 4, 3), 0);
}

TEST_F(PluginWin32, ErrorBoxesTellTheHostFirst) {
    Module().ShowError(nullptr, nullptr, nullptr);
    EXPECT_EQ(test_host::Events(), (std::vector<std::string>{"query 5"}));
    test_host::Events().clear();
    Module().ShowError(nullptr, "broken", nullptr);
    Module().ShowError(nullptr, "thrown", "exception");
    EXPECT_EQ(test_host::Events(), (std::vector<std::string>{"query 5", "box error|broken",
                                                             "query 5", "box exception|thrown"}));
}

TEST_F(PluginWin32, FilterRegistry) {
    EXPECT_EQ(Module().FilterCount(), 1);
    ASSERT_EQ(Module().Initialize(GetModuleHandleA(nullptr)), 1);  // a second attach
    EXPECT_EQ(Module().FilterCount(), 1);
    EXPECT_STREQ(Module().FilterCategory(-1), "");
    EXPECT_EQ(Module().SetupFilter(1, nullptr, nullptr, 0, 0), 0);
    EXPECT_EQ(Module().SetupFilter(-1, nullptr, nullptr, 0, 0), 0);
}

// A filter whose setup throws: the exception is shown in a box and the setup reports 0.
class ThrowingFilter : public FilterBase {
   public:
    ThrowingFilter() : FilterBase("t", "c") {}
    std::int32_t Setup(HWND, const Pixel32*, std::int32_t, std::int32_t) override {
        throw std::runtime_error(std::string(600, 'x'));
    }
};

TEST_F(PluginWin32, ExceptionEscapingSetupIsShown) {
    Module().DeleteFilters();
    FilterModuleTestAccess::Add(Module(), new ThrowingFilter());
    EXPECT_EQ(Module().SetupFilter(0, nullptr, nullptr, 0, 0), 0);
    ASSERT_EQ(test_host::Events().size(), 2u);
    EXPECT_EQ(test_host::Events()[1], "box exception|" + std::string(511, 'x'));
}

}  // namespace
