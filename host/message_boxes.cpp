// Scripted answers to a plug-in's message boxes, so that an unattended run never waits for a click.
#include "host/message_boxes.h"

#include <cstdio>
#include <string>
#include <vector>

#include "host/host_error.h"
#include "host/message_redirect.h"
#include "host/text_encoding.h"

namespace {

// Dialog class of message boxes, and the id of the static control that holds their text.
constexpr char kDialogClass[] = "#32770";
constexpr int kMessageTextId = 0xFFFF;

// The box being answered: activation can come more than once before the posted answer arrives.
HWND& AnsweredBox() {
    static HWND box = nullptr;
    return box;
}

// A message box is a dialog that the system runs itself: its dialog procedure is user32's. The
// text id alone is not enough, since a plug-in's own dialog may give a label that id too.
bool IsMessageBox(HWND hwnd) {
    char className[16] = {};
    GetClassNameA(hwnd, className, static_cast<int>(sizeof className));
    if (std::string(className) != kDialogClass || GetDlgItem(hwnd, kMessageTextId) == nullptr) {
        return false;
    }
    const LONG_PTR procedure = GetWindowLongPtrW(hwnd, DWLP_DLGPROC);
    HMODULE owner = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<const wchar_t*>(procedure), &owner);
    return owner != nullptr && owner == GetModuleHandleW(L"user32.dll");
}

// The ANSI text of a window, as the plug-in passed it to MessageBoxA.
std::string WindowTextOf(HWND hwnd) {
    std::vector<char> text(static_cast<std::size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
    GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()));
    return std::string(text.data());
}

void ReportBox(HWND hwnd) {
    const HWND textControl = GetDlgItem(hwnd, kMessageTextId);
    ReportMessageBox(PluginTextToUtf8(WindowTextOf(hwnd)),
                     PluginTextToUtf8(WindowTextOf(textControl)));
}

// Answers as Enter would: with the default button, which for an error box is OK.
void PostDefaultAnswer(HWND hwnd) {
    const LRESULT defaultId = SendMessageW(hwnd, DM_GETDEFID, 0, 0);
    WORD buttonId = IDOK;
    if (HIWORD(defaultId) == DC_HASDEFID) buttonId = LOWORD(defaultId);
    const HWND button = GetDlgItem(hwnd, buttonId);
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

// The box's text is set during its WM_INITDIALOG, which comes before its activation.
LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        const HWND hwnd = reinterpret_cast<HWND>(wParam);
        if (hwnd != AnsweredBox() && IsMessageBox(hwnd)) {
            AnsweredBox() = hwnd;
            ReportBox(hwnd);
            PostDefaultAnswer(hwnd);
        }
    } else if (code == HCBT_DESTROYWND && reinterpret_cast<HWND>(wParam) == AnsweredBox()) {
        AnsweredBox() = nullptr;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

MessageBoxAnswerer::MessageBoxAnswerer() {
    hook = SetWindowsHookExW(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
    if (hook == nullptr) throw HostError("cannot watch for message boxes");
}

MessageBoxAnswerer::~MessageBoxAnswerer() { UnhookWindowsHookEx(hook); }
