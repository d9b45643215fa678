// The plug-in's message boxes answered in-process: its imports of the message-box functions are
// pointed at kvhost's own, which print the box and answer it without creating a window, so that
// an unattended run needs no display and cannot lose a box.
#pragma once

#include <utility>
#include <vector>

#include "plugin/win32.h"

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
