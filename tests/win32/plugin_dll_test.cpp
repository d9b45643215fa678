// The real plug-in DLL loaded by a real host under Wine: both export names, the text copies,
// filter indices, progress, the settings file beside the DLL, the error box, the fills.
#include <gtest/gtest.h>

#include "platform/win32.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "plugin_interface/kv_interface.h"
#include "tests/engine_cases.h"
#include "tests/win32/dialog_script.h"
#include "tests/win32/plugin_dll.h"
#include "tests/win32/test_host.h"

namespace {

TEST_F(PluginDll, EveryExportUnderBothNames) {
    const char* names[][2] = {{"KV_GetPluginInfo", "_KV_GetPluginInfo@8"},
                              {"KVF_FilterCount", "_KVF_FilterCount@0"},
                              {"KVF_GetName", "_KVF_GetName@20"},
                              {"KVF_Setup", "_KVF_Setup@20"},
                              {"KVF_Execute", "_KVF_Execute@44"},
                              {"KVF_SuggestSettings", "_KVF_SuggestSettings@36"}};
    for (const auto& pair : names) {
        FARPROC plain = GetProcAddress(module, pair[0]);
        EXPECT_NE(plain, nullptr) << pair[0];
        EXPECT_EQ(plain, GetProcAddress(module, pair[1])) << pair[1];
    }
    EXPECT_EQ(Export<FilterCountFn>("_KVF_FilterCount@0")(), 1);
}

TEST_F(PluginDll, OneFilterAfterEveryLoad) {
    for (int load = 0; load < 3; ++load) {
        EXPECT_EQ(Export<FilterCountFn>("KVF_FilterCount")(), 1);
        ASSERT_TRUE(FreeLibrary(module));
        module = LoadLibraryW(Dll().c_str());
        ASSERT_NE(module, nullptr);
    }
}

TEST_F(PluginDll, SetupOfAnUnknownFilterIsRefused) {
    const auto setup = Export<SetupFn>("KVF_Setup");
    const std::vector<Pixel32> image(4, 0xFF000000u);
    EXPECT_EQ(setup(1, nullptr, image.data(), 2, 2), 0);
    EXPECT_EQ(setup(-1, nullptr, image.data(), 2, 2), 0);
    EXPECT_TRUE(test_host::Events().empty());  // nothing shown, nothing asked
}

TEST_F(PluginDll, NamesAndCategoryCopiedWithinTheBuffers) {
    char category[64];
    char name[64];
    std::memset(category, 'x', sizeof category);
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(getName(0, category, 64, name, 64), name);
    EXPECT_EQ(std::memcmp(category, "Transform|\x95\xCF\x8C\x60", 14), 0);
    EXPECT_EQ(std::memcmp(name, "Trapezoid...|\x91\xE4\x8C\x60...", 20), 0);
    for (int i = 14; i < 64; ++i) ASSERT_EQ(category[i], 0) << i;
    for (int i = 20; i < 64; ++i) ASSERT_EQ(name[i], 0) << i;

    std::memset(category, 'x', sizeof category);
    std::memset(name, 'x', sizeof name);
    getName(0, category, 9, name, 9);
    EXPECT_EQ(std::memcmp(category, "Transformx", 10), 0);  // no terminator, nothing beyond
    EXPECT_EQ(std::memcmp(name, "Trapezoidx", 10), 0);

    for (std::int32_t index : {1, -1}) {
        std::memset(category, 'x', sizeof category);
        std::memset(name, 'x', sizeof name);
        getName(index, category, 16, name, 16);
        for (int i = 0; i < 16; ++i) ASSERT_TRUE(category[i] == 0 && name[i] == 0) << index;
        EXPECT_EQ(category[16], 'x');
    }
}

// The Japanese run must really run in Japanese, else its checks would silently be the English ones.
TEST(UserLanguage, IsTheOneTheRunAskedFor) {
    const char* expected = std::getenv("TRAPEZOID_EXPECT_LANGUAGE");
    if (expected == nullptr) GTEST_SKIP() << "no language asked for";
    const bool japanese = (GetUserDefaultLangID() & 0x3FF) == 17;
    EXPECT_EQ(japanese, test_host::ExpectsJapanese());
    // And a run that asks for a system code page gets that one.
    const char* codePage = std::getenv("TRAPEZOID_EXPECT_CODE_PAGE");
    if (codePage != nullptr) {
        EXPECT_EQ(GetACP(), static_cast<UINT>(std::atoi(codePage)));
    }
}

TEST_F(PluginDll, VersionInformation) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(Dll().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(Dll().c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00000002u);  // 0.2
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000000u);  // .0.0
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00000002u);
    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904B0\\FileVersion",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(text, "0.2.0.0");
}

TEST_F(PluginDll, PluginInfo) {
    const auto info = Export<GetPluginInfoFn>("KV_GetPluginInfo");
    char buffer[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(info(buffer, 0), 1);
    EXPECT_EQ(buffer[0], 'x');
    char text[256];
    EXPECT_EQ(info(text, 256), 1);
    EXPECT_NE(std::strstr(text, "Trapezoid"), nullptr);
}

std::vector<std::int32_t> g_progress;
std::int32_t __stdcall Progress(std::int32_t current, std::int32_t total, std::intptr_t user) {
    EXPECT_EQ(total, 100);
    EXPECT_EQ(user, 77);
    g_progress.push_back(current);
    return 1000 + current;
}

TEST_F(PluginDll, ProgressAroundTheRunAndTheLastResult) {
    Settings(1, 30, 0, 0);
    const std::vector<Pixel32> image(10 * 3, 0xFF336699u);
    std::int32_t result = -1;
    g_progress.clear();
    Run(image, 10, 3, {0, 0, 10, 3}, Progress, 77, &result);
    EXPECT_EQ(g_progress, (std::vector<std::int32_t>{0, 33, 66, 100}));
    EXPECT_EQ(result, 1100);

    Run(image, 10, 3, {0, 0, 10, 3}, nullptr, 77, &result);
    EXPECT_EQ(result, 0);

    g_progress.clear();
    std::vector<Pixel32> dest = image;
    const SelectionRect rect{0, 0, 10, 3};
    EXPECT_EQ(execute(1, nullptr, image.data(), dest.data(), 0, &rect, 0, 10, 3, Progress, 77),
              1100);
    EXPECT_EQ(g_progress, (std::vector<std::int32_t>{0, 100}));
}

TEST_F(PluginDll, InvalidDifferenceShowsTheErrorBoxAfterTellingTheHost) {
    const std::vector<Pixel32> image(6 * 4, 0xFF102030u);
    // The second line names the file, the key and the value read (saturated beyond 32 bits).
    const struct {
        const char* bad;
        const char* read;
    } cases[] = {{"101", "101"}, {"-101", "-101"}, {"99999999999", "2147483647"}};
    for (const auto& [bad, read] : cases) {
        test_host::Events().clear();
        Settings(0, 0, 0, 0);
        Write("difference", bad);
        g_progress.clear();
        EXPECT_EQ(Run(image, 6, 4, {0, 0, 6, 4}, Progress, 77), image) << bad;
        const bool japanese = (GetUserDefaultLangID() & 0x3FF) == 17;
        const std::string text =
            japanese ? u8"設定ファイルに書き込まれている値が不正です。\nvxfilters.ini: "
                       u8"difference=" +
                           std::string(read) + u8"、指定できる範囲は -100\uFF5E100 です"
                     : "There is invalidate value in the initialization file.\nvxfilters.ini: "
                       "difference=" +
                           std::string(read) + ", allowed -100 to 100";
        EXPECT_EQ(test_host::Events(), (std::vector<std::string>{"query 5", "box error|" + text}));
        EXPECT_EQ(g_progress, (std::vector<std::int32_t>{0, 100}));
    }
}

TEST_F(PluginDll, DifferenceZeroOrNoFileWritesNothing) {
    const std::vector<Pixel32> image = engine_cases::MakeImage(9, 7);
    std::vector<Pixel32> dest(image.size(), 0x11111111u);
    const SelectionRect rect{0, 0, 9, 7};
    execute(0, nullptr, image.data(), dest.data(), 0, &rect, 0, 9, 7, nullptr, 0);
    EXPECT_EQ(dest, std::vector<Pixel32>(image.size(), 0x11111111u));
    Settings(3, 0, 4, 1);
    execute(0, nullptr, image.data(), dest.data(), 0, &rect, 0, 9, 7, nullptr, 0);
    EXPECT_EQ(dest, std::vector<Pixel32>(image.size(), 0x11111111u));
    EXPECT_TRUE(test_host::Events().empty());
}

TEST_F(PluginDll, GarbageSettingsReadAsDefaults) {
    Write("shape", "banana");
    Write("difference", "60abc");
    Write("undefarea", "9");
    Write("transparent", "2");
    const std::vector<Pixel32> image(20 * 10, 0xFF0000FFu);
    const std::vector<Pixel32> out = Run(image, 20, 10, {0, 0, 20, 10});
    // Shape 0, difference 60, edge-pixel fill, made transparent: the top row loses alpha at its
    // ends.
    EXPECT_EQ(out[0], 0x000000FFu);
    EXPECT_EQ(out[19 * 10 + 5], 0xFF0000FFu);
}

TEST_F(PluginDll, HostColoursFillTheUndefinedArea) {
    test_host::HostAnswers().foreground = 0xFF00FF00u;
    test_host::HostAnswers().background = 0xFFFF00FFu;
    const std::vector<Pixel32> image(20 * 4, 0xFF808080u);
    Settings(1, 100, 2, 0);
    EXPECT_EQ(Run(image, 20, 4, {0, 0, 20, 4})[0], 0xFF00FF00u);
    Settings(1, 100, 3, 1);
    EXPECT_EQ(Run(image, 20, 4, {0, 0, 20, 4})[0], 0x00FF00FFu);
    EXPECT_EQ(test_host::Events(), (std::vector<std::string>{"query 1", "query 3"}));
    test_host::HostAnswers().answersColours = false;  // a host that does not answer: opaque black
    EXPECT_EQ(Run(image, 20, 4, {0, 0, 20, 4})[0], 0x00000000u);
    Settings(1, 100, 2, 0);
    EXPECT_EQ(Run(image, 20, 4, {0, 0, 20, 4})[0], 0xFF000000u);
}

TEST_F(PluginDll, BadRectanglesAndPointersAreSafe) {
    Settings(0, 50, 4, 0);
    const std::vector<Pixel32> image = engine_cases::MakeImage(8, 8);
    const SelectionRect outside[] = {{-4, -4, 20, 20}, {6, 6, 2, 2}, {9, 0, 30, 8}, {0, 0, 0, 8}};
    for (const SelectionRect& r : outside) {
        std::vector<Pixel32> dest = image;
        execute(0, nullptr, image.data(), dest.data(), 0, &r, 0, 8, 8, nullptr, 0);
    }
    std::vector<Pixel32> dest = image;
    const SelectionRect all{0, 0, 8, 8};
    execute(0, nullptr, image.data(), dest.data(), 0, nullptr, 0, 8, 8, nullptr, 0);
    execute(0, nullptr, nullptr, dest.data(), 0, &all, 0, 8, 8, nullptr, 0);
    execute(0, nullptr, image.data(), nullptr, 0, &all, 0, 8, 8, nullptr, 0);
    EXPECT_EQ(dest, image);
    // An inverted rectangle writes nothing.
    const SelectionRect inverted{6, 6, 2, 2};
    execute(0, nullptr, image.data(), dest.data(), 0, &inverted, 0, 8, 8, nullptr, 0);
    EXPECT_EQ(dest, image);
}

// The setup dialog through the export, as a host opens it: OK saves beside the DLL, Cancel not.
TEST_F(PluginDll, KvfSetupOkSavesTheSettings) {
    const std::vector<Pixel32> image(6 * 4, 0xFF808080u);
    const INT_PTR result = Setup(image, 6, 4, [&](HWND dialog) {
        wchar_t caption[32] = {};
        GetWindowTextW(dialog, caption, 32);
        EXPECT_EQ(std::wstring(caption), test_host::ExpectedCaption());
        test_host::Click(dialog, 1066);
        test_host::SetText(dialog, 1059, "-40");
        test_host::Click(dialog, IDOK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(GetPrivateProfileIntW(L"Trapezoid", L"shape", -1, Ini().c_str()), 1);
    EXPECT_EQ(GetPrivateProfileIntW(L"Trapezoid", L"difference", -1, Ini().c_str()), -40);
    EXPECT_TRUE(test_host::Events().empty() ||
                test_host::Events().front().rfind("query 4", 0) == 0);
}

TEST_F(PluginDll, KvfSetupCancelSavesNothing) {
    const std::vector<Pixel32> image(3 * 3, 0xFF000000u);
    const INT_PTR result = Setup(image, 3, 3, [&](HWND dialog) {
        test_host::SetText(dialog, 1059, "55");
        test_host::Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(GetFileAttributesW(Ini().c_str()), INVALID_FILE_ATTRIBUTES);
}

// Run in a process of its own: the up-down and trackbar classes are taken away, as in a host
// that never registered them. The plug-in registers them and tries again; here, where the
// library registers its classes only when it is loaded, that cannot bring them back, so the
// user is told why no dialog appears. Nothing is saved.
TEST_F(PluginDll, SetupWithoutCommonControlsSaysSo) {
    const HMODULE comctl32 = GetModuleHandleA("comctl32.dll");
    ASSERT_NE(comctl32, nullptr);
    ASSERT_TRUE(UnregisterClassA(UPDOWN_CLASSA, comctl32));
    ASSERT_TRUE(UnregisterClassA(TRACKBAR_CLASSA, comctl32));
    const std::vector<Pixel32> image(4, 0xFF000000u);
    bool shown = false;
    const INT_PTR result = Setup(image, 2, 2, [&](HWND dialog) {
        shown = true;
        test_host::Click(dialog, IDOK);
    });
    EXPECT_FALSE(shown);
    EXPECT_EQ(result, 0);
    const std::string text = test_host::ExpectsJapanese()
                                 ? u8"設定ダイアログを作成できませんでした。"
                                 : "The setup dialog could not be created.";
    EXPECT_EQ(test_host::Events().back(), "box error|" + text);
    EXPECT_EQ(GetFileAttributesW(Ini().c_str()), INVALID_FILE_ATTRIBUTES);
}

// The DLL's pixels equal the native engine's, bit for bit, for every case of the table under
// each profile and with the proportions restored, all chosen through the settings file.
TEST_F(PluginDll, ResultsMatchTheNativeEngine) {
    test_host::HostAnswers().foreground = engine_cases::kForeground;
    test_host::HostAnswers().background = engine_cases::kBackground;
    for (const engine_cases::Record& r : engine_cases::kRecords) {
        engine_cases::ExpectRecord(
            std::string(TRAPEZOID_SOURCE_DIR "/tests/") + r.passFile, r,
            [&](const engine_cases::Case& c) {
                Settings(c.shape, c.difference, c.mode, c.transparent);
                Write("perspective", c.profile == LineProfile::kPerspective ? "1" : "0");
                // Under the classic profile the proportions key is on and changes nothing.
                const bool classic = c.profile == LineProfile::kClassic;
                Write("proportions", c.proportions || classic ? "1" : "0");
                Write("focal", std::to_string(engine_cases::kFocal).c_str());
                return Run(engine_cases::MakeImage(c.width, c.height), c.width, c.height, c.rect);
            });
    }
}

}  // namespace

// Registers the up-down and trackbar classes the way an editor does at start-up.
void RegisterCommonControls() {
    using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const HMODULE library = LoadLibraryA("comctl32.dll");
    const auto init = reinterpret_cast<InitFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")));
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
    if (init != nullptr) init(&controls);
}

int main(int argc, char** argv) {
    RegisterCommonControls();
    test_host::RemoveStaleTempDirectories();
    test_host::WatchMessageBoxes();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
