// The test program as a host: it exports KVF_QueryClientInfo, records what the plug-in asks,
// and answers and records the plug-in's message boxes so no test waits for a click.
#include "tests/win32/test_host.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <sstream>

#include "plugin/filter_module.h"
#include "plugin_interface/kv_interface.h"

namespace test_host {

Answers& HostAnswers() {
    static Answers answers;
    return answers;
}

std::vector<std::string>& Events() {
    static std::vector<std::string> events;
    return events;
}

void Reset() {
    HostAnswers() = Answers{};
    Events().clear();
}

namespace {

// In UTF-8, whatever the system's code page.
std::string WindowTextOf(HWND hwnd) {
    wchar_t text[1024] = {};
    GetWindowTextW(hwnd, text, 1024);
    return Utf8(text);
}

LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    static HWND answered = nullptr;
    const HWND hwnd = reinterpret_cast<HWND>(wParam);
    // A message box has its text (id 0xFFFF) and icon (id 0x440) controls; dialogs with
    // unnamed static texts of their own are left to their tests.
    if (code == HCBT_ACTIVATE && hwnd != answered && GetDlgItem(hwnd, 0xFFFF) != nullptr &&
        GetDlgItem(hwnd, 0x440) != nullptr) {
        answered = hwnd;
        Events().push_back("box " + WindowTextOf(hwnd) + "|" +
                           WindowTextOf(GetDlgItem(hwnd, 0xFFFF)));
        PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void WatchMessageBoxes() { SetWindowsHookExA(WH_CBT, CbtProc, nullptr, GetCurrentThreadId()); }

std::string MakeTempDirectory() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static int counter = 0;
    char dir[MAX_PATH];
    std::snprintf(dir, sizeof dir, "%strapezoid-test-%lu-%d\\", base, GetCurrentProcessId(),
                  ++counter);
    CreateDirectoryA(dir, nullptr);
    return dir;
}

namespace {

void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = dir + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(dir.c_str());
}

}  // namespace

void RemoveStaleTempDirectories() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    WIN32_FIND_DATAW found;
    const HANDLE search =
        FindFirstFileW((std::wstring(base) + L"trapezoid-test-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        // Named trapezoid-test-PID-N: a process still running keeps its own.
        const DWORD pid = static_cast<DWORD>(std::wcstoul(found.cFileName + 15, nullptr, 10));
        const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
        const bool running = process != nullptr && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
        if (process != nullptr) CloseHandle(process);
        if (!running) RemoveTree(std::wstring(base) + found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::string FreshModuleSettings() {
    if (Module().Initialize(GetModuleHandleA(nullptr)) != 1) return "";
    const std::wstring wide = Module().SettingsFilePath();
    char path[MAX_PATH] = {};
    // The test program lies in a folder of plain ASCII names.
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, path, MAX_PATH, nullptr, nullptr);
    DeleteFileA(path);
    return path;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::wstring ProgramFolder() {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::wstring path = exe;
    return path.substr(0, path.rfind(L'\\') + 1);
}

std::string Utf8(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], size, nullptr, nullptr);
    out.pop_back();  // the terminator
    return out;
}

bool ExpectsJapanese() {
    const char* expected = std::getenv("TRAPEZOID_EXPECT_LANGUAGE");
    return expected != nullptr && std::string(expected) == "ja";
}

std::wstring ExpectedCaption() { return ExpectsJapanese() ? L"\u53F0\u5F62" : L"Trapezoid"; }

}  // namespace test_host

extern "C" std::int32_t __stdcall KVF_QueryClientInfo(std::int32_t code, void* data) {
    using test_host::HostAnswers;
    test_host::Events().push_back("query " + std::to_string(code));
    const test_host::Answers& a = HostAnswers();
    switch (code) {
        case ClientInfoForeground:
        case ClientInfoBackground:
            if (!a.answersColours) return 0;
            if (a.colourAnswerWithoutWriting) return 1;
            *static_cast<Pixel32*>(data) =
                code == ClientInfoForeground ? a.foreground : a.background;
            return 1;
        case ClientInfoSelectionMask:
            if (a.maskAnswerWithoutPointer) {
                *static_cast<const std::uint8_t**>(data) = nullptr;
                return 1;
            }
            if (a.mask == nullptr) return 0;
            *static_cast<const std::uint8_t**>(data) = a.mask;
            return 1;
        case ClientInfoBeforeMessage:
            return 1;
        default:
            return 0;
    }
}
