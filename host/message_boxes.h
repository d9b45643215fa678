// Scripted answers to a plug-in's message boxes, so that an unattended run never waits for a click.
#pragma once

#include "platform/win32.h"

// While it lives, every message box that opens on this thread is reported on stderr as
// `kvhost: message box "CAPTION": TEXT` and closed with its default button. Other dialogs are
// left alone. Throws HostError when the hook cannot be installed.
class MessageBoxAnswerer {
   public:
    MessageBoxAnswerer();
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

   private:
    HHOOK hook = nullptr;
};
