// Real input for the dialog tests: keys and mouse moves through SendInput, the system's own input
// queue, so that the system's menu, sizing and capture code handle them as a user's.
#pragma once

#include <functional>

#include "platform/win32.h"
#include "tests/win32/dialog_script.h"

namespace real_input {

inline void Key(WORD key, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}

inline void Press(WORD key) {
    Key(key, false);
    Key(key, true);
}

// Alt+Space opens the window menu; `entry` is the key of its entry (X maximise, S size).
inline void WindowMenu(WORD entry) {
    Key(VK_MENU, false);
    Press(VK_SPACE);
    Key(VK_MENU, true);
    Press(entry);
}

inline void Mouse(POINT at, DWORD buttons) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    in.mi.dx = MulDiv(at.x, 65535, width - 1);
    in.mi.dy = MulDiv(at.y, 65535, height - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    SendInput(1, &in, sizeof in);
}

struct DragPlan {
    POINT from;
    POINT to;
    DWORD down;
    DWORD up;
};

inline DWORD WINAPI DragSteps(void* data) {
    const DragPlan& plan = *static_cast<const DragPlan*>(data);
    Sleep(30);
    Mouse(plan.from, plan.down);
    for (int step = 1; step <= 4; ++step) {
        Sleep(30);
        Mouse({plan.from.x + (plan.to.x - plan.from.x) * step / 4,
               plan.from.y + (plan.to.y - plan.from.y) * step / 4},
              0);
    }
    Sleep(30);
    Mouse(plan.to, plan.up);
    return 0;
}

// Presses `down` at `from`, moves to `to` in a few steps and lets go with `up`. The input comes
// from a thread of its own while this one handles it: a sizing loop of the system, entered at
// the press, takes the moves itself and returns only when the button is let go.
inline void Drag(POINT from, POINT to, DWORD down = MOUSEEVENTF_LEFTDOWN,
                 DWORD up = MOUSEEVENTF_LEFTUP) {
    Mouse(from, 0);
    test_host::PumpMessages();
    DragPlan plan{from, to, down, up};
    const HANDLE steps = CreateThread(nullptr, 0, DragSteps, &plan, 0, nullptr);
    if (steps == nullptr) return;
    while (WaitForSingleObject(steps, 5) == WAIT_TIMEOUT) test_host::PumpMessages();
    CloseHandle(steps);
    Sleep(30);
    test_host::PumpMessages();
}

// Dispatches this thread's messages until `done` or `milliseconds` have passed; `done` then.
inline bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds = 3000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds) return false;
        test_host::PumpMessages();
        Sleep(5);
    }
    test_host::PumpMessages();
    return true;
}

}  // namespace real_input
