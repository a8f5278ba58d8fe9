// A wait on handles that keeps the calling thread's messages flowing: whatever is posted or sent
// to the thread's windows is dispatched while it waits, and input arriving on the thread does not
// end the wait.
#pragma once

#include <windows.h>

namespace plug {

class MessagePumpWait {
public:
    static constexpr DWORD kNone = 0xFFFFFFFF;

    // Waits until one of handles (at most MAXIMUM_WAIT_OBJECTS - 1 of them; none makes it a pause
    // that dispatches) is signalled, at most timeoutMs. Returns the index of that handle, or kNone
    // on time-out or when a handle cannot be waited on.
    DWORD Wait(const HANDLE* handles, DWORD count, DWORD timeoutMs);

private:
    // False once a quit request was seen: it is put back for the loop that owns it, and from then
    // on only the handles are waited for, so that it stays queued.
    bool m_pumping = true;
};

} // namespace plug
