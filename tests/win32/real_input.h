// Real input for the dialog tests: keys and mouse moves through SendInput, the system's own input
// queue, so that the system's menu, sizing and capture code handle them as a user's.
#pragma once

#include <functional>
#include <vector>

#include "platform/win32.h"
#include "tests/win32/dialog_script.h"

namespace real_input {

inline INPUT Key(WORD key, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return in;
}

inline INPUT Mouse(POINT at, DWORD buttons) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    return in;
}

inline void Send(const INPUT& in) {
    INPUT copy = in;
    SendInput(1, &copy, sizeof copy);
}

inline DWORD WINAPI SendSteps(void* data) {
    for (const INPUT& in : *static_cast<const std::vector<INPUT>*>(data)) {
        Sleep(30);
        Send(in);
    }
    return 0;
}

// Sends `steps` one after the other from a thread of its own while this one handles them: a
// menu or sizing loop of the system, entered at one step, takes the next ones itself and returns
// only at the last.
inline void Play(const std::vector<INPUT>& steps) {
    test_host::PumpMessages();
    const HANDLE sender =
        CreateThread(nullptr, 0, SendSteps, const_cast<std::vector<INPUT>*>(&steps), 0, nullptr);
    if (sender == nullptr) return;
    while (WaitForSingleObject(sender, 5) == WAIT_TIMEOUT) test_host::PumpMessages();
    CloseHandle(sender);
    Sleep(30);
    test_host::PumpMessages();
}

inline void Press(WORD key) { Play({Key(key, false), Key(key, true)}); }

// Alt+Space opens the window menu, then `keys` are typed (X maximises; S and arrows size).
inline void WindowMenu(const std::vector<WORD>& keys) {
    std::vector<INPUT> steps = {Key(VK_MENU, false), Key(VK_SPACE, false), Key(VK_SPACE, true),
                                Key(VK_MENU, true)};
    for (const WORD key : keys) {
        steps.push_back(Key(key, false));
        steps.push_back(Key(key, true));
    }
    Play(steps);
}

// Presses `down` at `from`, moves to `to` in four steps and lets go with `up`.
inline void Drag(POINT from, POINT to, DWORD down = MOUSEEVENTF_LEFTDOWN,
                 DWORD up = MOUSEEVENTF_LEFTUP) {
    std::vector<INPUT> steps = {Mouse(from, 0), Mouse(from, down)};
    for (int step = 1; step <= 4; ++step) {
        steps.push_back(
            Mouse({from.x + (to.x - from.x) * step / 4, from.y + (to.y - from.y) * step / 4}, 0));
    }
    steps.push_back(Mouse(to, up));
    Play(steps);
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
