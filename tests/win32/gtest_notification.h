// GoogleTest's thread start-up signal on a Win32 event: mingw's win32 thread model has no
// std::mutex for the default one. Force-included into GoogleTest and the Windows tests.
#pragma once

#define GTEST_HAS_NOTIFICATION_ 1

#include "platform/win32.h"

namespace testing {
namespace internal {

class Notification {
   public:
    Notification() : event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { SetEvent(event); }
    void WaitForNotification() { WaitForSingleObject(event, INFINITE); }

   private:
    HANDLE event;
};

}  // namespace internal
}  // namespace testing
