// Plays the user against a modal dialog of this thread: a timer of the dialog's own modal loop
// runs a script on the dialog window, so the real dialog code runs with no human.
#include "tests/win32/dialog_script.h"

#include <string>

namespace test_host {

namespace {

const DialogScript* pendingScript = nullptr;
int ticksLeft = 0;

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) == "#32770" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr) {
        if (--ticksLeft <= 0) KillTimer(nullptr, timer);  // the dialog never came up
        return;
    }
    KillTimer(nullptr, timer);
    const DialogScript* script = pendingScript;
    pendingScript = nullptr;
    if (script != nullptr) (*script)(dialog);
    // Whatever the script's assertions did, do not leave the test waiting on an open dialog.
    if (IsWindow(dialog) && IsWindowVisible(dialog)) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

}  // namespace

INT_PTR RunScripted(const std::function<INT_PTR()>& open, const DialogScript& script) {
    pendingScript = &script;
    ticksLeft = 500;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, OnTimer);
    const INT_PTR result = open();
    KillTimer(nullptr, timer);
    pendingScript = nullptr;
    return result;
}

void Click(HWND dialog, int id) { SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0); }

void SetText(HWND dialog, int id, const char* text) { SetDlgItemTextA(dialog, id, text); }

std::string Text(HWND dialog, int id) {
    char text[256] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

void SelectEntry(HWND dialog, int id, int index) {
    const HWND list = GetDlgItem(dialog, id);
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

}  // namespace test_host
