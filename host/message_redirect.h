// The plug-in's message boxes answered in-process: its imports of the message-box functions are
// pointed at kvhost's own, which print the box and answer it without creating a window, so that
// an unattended run needs no display and cannot lose a box.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/win32.h"

// Prints `kvhost: message box "CAPTION": TEXT` (UTF-8) on stderr and counts it.
void ReportMessageBox(const std::string& caption, const std::string& text);

// How many boxes ReportMessageBox has printed in this process.
[[nodiscard]] int ReportedMessageBoxCount() noexcept;

// While it lives, every MessageBoxA/W or MessageBoxExA/W call that MODULE makes prints
// `kvhost: message box "CAPTION": TEXT` on stderr and returns the box's default button.
class MessageBoxRedirect {
   public:
    explicit MessageBoxRedirect(HMODULE module);
    ~MessageBoxRedirect();  // puts the module's imports back
    MessageBoxRedirect(const MessageBoxRedirect&) = delete;
    MessageBoxRedirect& operator=(const MessageBoxRedirect&) = delete;

   private:
    // Import address slots of the module and the function each held before.
    std::vector<std::pair<void**, void*>> patched;
};
