// The real plug-in DLL against hard surroundings: folders named outside the system's code page,
// a settings file that cannot be written, a parent that is not a window, and host answers that
// break the rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "settings/settings_file.h"
#include "tests/win32/dialog_script.h"
#include "tests/win32/plugin_dll.h"
#include "ui/preview_canvas.h"

namespace {

// Cyrillic and Japanese names, outside code page 1252, a Korean one, outside 932 as well, and
// one that takes the settings file's path past MAX_PATH.
const wchar_t* const kForeignNames[] = {
    L"\u0444\u043E\u0442\u043E", L"\u5199\u771F", L"\uC0AC\uC9C4",
    L"a-folder-whose-name-is-long-enough-to-take-the-plug-in-and-its-settings-file-past-the-"
    L"two-hundred-and-sixty-characters-of-a-plain-path-with-the-temporary-folder-before-it-and-"
    L"the-file-name-after-it-0123456789-abcdefghijklmnopqrst"};

bool Japanese() { return test_host::ExpectsJapanese(); }

constexpr int kCanvasControlId = 1005;

class ForeignFolder : public PluginDll, public ::testing::WithParamInterface<const wchar_t*> {
   protected:
    std::wstring Folder() const override { return GetParam(); }
};

TEST_P(ForeignFolder, RunsReadAndSetupSavesTheSettingsBesideTheDll) {
    Settings(1, 100, 4, 0);  // white fill at the ends of the squeezed top row
    const std::vector<Pixel32> image(20 * 4, 0xFF808080u);
    EXPECT_EQ(Run(image, 20, 4, {0, 0, 20, 4})[0], 0xFFFFFFFFu);
    const INT_PTR result = Setup(image, 20, 4, [&](HWND dialog) {
        test_host::Click(dialog, 1069);
        test_host::SetText(dialog, 1059, "-40");
        test_host::Click(dialog, IDOK);
    });
    EXPECT_EQ(result, 1);
    const std::wstring ini = ProfilePath(Ini());
    EXPECT_EQ(GetPrivateProfileIntW(L"Trapezoid", L"shape", -1, ini.c_str()), 4);
    EXPECT_EQ(GetPrivateProfileIntW(L"Trapezoid", L"difference", -1, ini.c_str()), -40);
    // A difference out of range is read, not replaced by a default: the run is refused.
    Write("difference", "500");
    EXPECT_EQ(Run(image, 20, 4, {0, 0, 20, 4})[0], 0xFF808080u);
    EXPECT_EQ(test_host::Events().back().rfind("box error|", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Names, ForeignFolder, ::testing::ValuesIn(kForeignNames));

// This program copied, with the DLL, into a folder of a foreign name and run there on the tests
// that need the host's service function: the colours and the mask must still arrive.
TEST(HostInForeignFolder, ReachesItsServiceFunction) {
    const std::string temp = test_host::MakeTempDirectory();
    for (const std::wstring name : {L"\u0445\u043E\u0441\u0442", L"\u30DB\u30B9\u30C8"}) {
        const std::wstring dir = std::wstring(temp.begin(), temp.end()) + name + L"\\";
        ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
        for (const wchar_t* file : {L"plugin_tests.exe", L"trapezoid.dll"}) {
            ASSERT_TRUE(CopyFileW((test_host::ProgramFolder() + file).c_str(), (dir + file).c_str(),
                                  FALSE));
        }
        std::wstring command = L"\"" + dir +
                               L"plugin_tests.exe\" --gtest_brief=1 --gtest_filter="
                               L"PluginDll.HostColoursFillTheUndefinedArea:"
                               L"PreviewRendering.SelectionMaskFromTheHost";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   dir.c_str(), &startup, &process));
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 1;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        EXPECT_EQ(code, 0u) << test_host::Utf8(name);
        for (const wchar_t* file : {L"plugin_tests.exe", L"trapezoid.dll"}) {
            DeleteFileW((dir + file).c_str());
        }
        RemoveDirectoryW(dir.c_str());
    }
    RemoveDirectoryA(temp.c_str());
}

// A folder where the settings file should be: every write fails, as on a full disk.
TEST_F(PluginDll, SaveFailureKeepsTheDialogOpenAndNamesTheFile) {
    ASSERT_TRUE(CreateDirectoryW(Ini().c_str(), nullptr));
    const std::vector<Pixel32> image(6 * 4, 0xFF808080u);
    bool stillOpen = false;
    const INT_PTR result = Setup(image, 6, 4, [&](HWND dialog) {
        test_host::SetText(dialog, 1059, "-40");
        test_host::Click(dialog, IDOK);
        stillOpen = IsWindow(dialog) && IsWindowVisible(dialog);
        test_host::Click(dialog, IDCANCEL);
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, 0);
    const std::string text = Japanese() ? u8"設定ファイルに書き込めませんでした。"
                                        : "The settings could not be written to the file:";
    const std::vector<std::string>& events = test_host::Events();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[events.size() - 2], "query 5");
    EXPECT_EQ(events.back(), "box error|" + text + "\n" + test_host::Utf8(Ini()));
}

// A folder where the settings file should be: a run cannot read its settings, and rather than
// run on defaults it refuses, naming the file.
TEST_F(PluginDll, UnreadableSettingsRefuseTheRunAndNameTheFile) {
    ASSERT_TRUE(CreateDirectoryW(Ini().c_str(), nullptr));
    const std::vector<Pixel32> image(6 * 4, 0xFF808080u);
    EXPECT_EQ(Run(image, 6, 4, {0, 0, 6, 4}), image);
    const std::string text = Japanese() ? u8"設定ファイルを読み込めませんでした。"
                                        : "The settings file could not be read:";
    ASSERT_FALSE(test_host::Events().empty());
    EXPECT_EQ(test_host::Events().back(), "box error|" + text + "\n" + test_host::Utf8(Ini()));
}

// A stale handle and a made-up one: the dialog and the error box show without an owner.
TEST_F(PluginDll, ParentThatIsNotAWindowShowsWithoutOwner) {
    const HWND stale =
        CreateWindowW(L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(stale);
    const std::vector<Pixel32> image(6 * 4, 0xFF808080u);
    for (HWND parent : {stale, reinterpret_cast<HWND>(0x7654321)}) {
        test_host::Events().clear();
        HWND owner = reinterpret_cast<HWND>(1);
        const INT_PTR result = Setup(image, 6, 4, parent, [&](HWND dialog) {
            owner = GetWindow(dialog, GW_OWNER);
            test_host::Click(dialog, IDOK);
        });
        EXPECT_EQ(result, 1);
        EXPECT_EQ(owner, nullptr);
        Write("difference", "300");
        std::vector<Pixel32> dest = image;
        const SelectionRect rect{0, 0, 6, 4};
        execute(0, parent, image.data(), dest.data(), 0, &rect, 0, 6, 4, nullptr, 0);
        ASSERT_FALSE(test_host::Events().empty());
        EXPECT_EQ(test_host::Events().back().rfind("box error|", 0), 0u);
    }
}

TEST_F(PluginDll, ColourAnswerThatWritesNothingFillsOpaqueBlack) {
    test_host::HostAnswers().colourAnswerWithoutWriting = true;
    const std::vector<Pixel32> image(20 * 4, 0xFF808080u);
    for (int mode : {2, 3}) {
        Settings(1, 100, mode, 0);
        EXPECT_EQ(Run(image, 20, 4, {0, 0, 20, 4})[0], 0xFF000000u) << mode;
    }
}

// The mask query says yes without a mask: the dialog opens, previews and saves all the same.
TEST_F(PluginDll, MaskAnswerWithoutAMaskPreviewsTheWholeImage) {
    test_host::HostAnswers().maskAnswerWithoutPointer = true;
    Settings(0, 50, 0, 0);
    Write("preview", "1");
    const std::vector<Pixel32> image(30 * 20, 0xFF204060u);
    const INT_PTR result = Setup(image, 30, 20, [&](HWND dialog) {
        test_host::SetText(dialog, 1059, "-70");
        UpdateWindow(dialog);
        test_host::PumpMessages();
        test_host::Click(dialog, IDOK);
    });
    EXPECT_EQ(result, 1);
}

// A progress callback that calls back into the plug-in: a nested run, the names, a setup
// dialog. Each works, and the outer run's pixels are those of a plain run.
HMODULE g_reentered = nullptr;
int g_depth = 0;
std::int32_t __stdcall ReenteringProgress(std::int32_t current, std::int32_t, std::intptr_t) {
    if (g_depth > 0 || current != 33) return 1;
    ++g_depth;
    const auto proc = [](const char* name) { return GetProcAddress(g_reentered, name); };
    const auto execute = reinterpret_cast<ExecuteFn>(reinterpret_cast<void*>(proc("KVF_Execute")));
    const auto getName = reinterpret_cast<GetNameFn>(reinterpret_cast<void*>(proc("KVF_GetName")));
    const auto setup = reinterpret_cast<SetupFn>(reinterpret_cast<void*>(proc("KVF_Setup")));
    std::vector<Pixel32> small(4 * 3, 0xFF112233u);
    std::vector<Pixel32> out = small;
    const SelectionRect all{0, 0, 4, 3};
    EXPECT_EQ(
        execute(0, nullptr, small.data(), out.data(), 0, &all, 0, 4, 3, ReenteringProgress, 0), 1);
    char category[32];
    char name[32];
    EXPECT_EQ(getName(0, category, 32, name, 32), name);
    EXPECT_EQ(test_host::RunScripted([&] { return setup(0, nullptr, small.data(), 4, 3); },
                                     [](HWND dialog) { test_host::Click(dialog, IDCANCEL); }),
              0);
    --g_depth;
    return 1;
}

TEST_F(PluginDll, ProgressCallbackThatReentersTheExports) {
    Settings(1, 60, 4, 1);  // rows: progress 33 after the first of three
    const std::vector<Pixel32> image(10 * 3, 0xFF336699u);
    const std::vector<Pixel32> plain = Run(image, 10, 3, {0, 0, 10, 3});
    g_reentered = module;
    std::int32_t result = 0;
    EXPECT_EQ(Run(image, 10, 3, {0, 0, 10, 3}, ReenteringProgress, 0, &result), plain);
    EXPECT_EQ(result, 1);
}

// A canvas that only ever shows its error text.
class ErrorCanvas final : public CanvasBase {
   public:
    void Paint(HDC) override {}
};

// The text drawn into a white 32-bit bitmap the size of the canvas, through `draw`.
template <class Draw>
std::vector<std::uint32_t> Drawn(HDC screen, Draw draw) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 160, -48, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HDC dc = CreateCompatibleDC(screen);
    const HGDIOBJ previous = SelectObject(dc, bitmap);
    std::memset(bits, 0xFF, 160 * 48 * 4);
    draw(dc);
    GdiFlush();
    const auto* words = static_cast<const std::uint32_t*>(bits);
    std::vector<std::uint32_t> out(words, words + 160 * 48);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return out;
}

// The full-width mark of the error text must not depend on the system's code page.
TEST(PreviewErrorText, IsTheWideTextItSays) {
    const HWND window =
        CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 160, 48, nullptr, nullptr, nullptr, nullptr);
    CreateWindowW(L"STATIC", L"", WS_CHILD, 0, 0, 160, 48, window,
                  reinterpret_cast<HMENU>(kCanvasControlId), nullptr, nullptr);
    ErrorCanvas canvas;
    ASSERT_TRUE(canvas.Attach(window, kCanvasControlId));
    canvas.PutPixel(-1, -1, 0, 255);  // outside: error 6
    const HDC screen = GetDC(nullptr);
    const auto shown = Drawn(screen, [&](HDC dc) { canvas.DrawError(dc); });
    const auto expected = Drawn(screen, [](HDC dc) {
        RECT r{0, 0, 160, 48};
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, L"preview error\uFF01\nerror number:6", -1, &r, 0);
    });
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(shown, expected);
    DestroyWindow(window);
}

}  // namespace
