// Plays the user against a modal dialog of this thread: a timer of the dialog's own modal loop
// runs a script on the dialog window, so the real dialog code runs with no human.
#pragma once

#include <functional>
#include <string>

#include "platform/win32.h"

namespace test_host {

using DialogScript = std::function<void(HWND dialog)>;

// Calls `open` (which runs a modal dialog and returns its result) and, once the dialog shows,
// `script` on it from the dialog's modal loop. A dialog the script leaves open is cancelled.
INT_PTR RunScripted(const std::function<INT_PTR()>& open, const DialogScript& script);

// Clicks a button the way the user does (it notifies the dialog itself).
void Click(HWND dialog, int id);
// Replaces an edit's text; the edit notifies the dialog from inside the call.
void SetText(HWND dialog, int id, const char* text);
std::string Text(HWND dialog, int id);
// Chooses a list entry and tells the dialog, as a choice with the mouse does.
void SelectEntry(HWND dialog, int id, int index);
// Dispatches the messages waiting for this thread, outside the dialog's own loop.
void PumpMessages();

}  // namespace test_host
