#include "MessagePumpWait.h"

namespace plug {

namespace {

// Dispatches what is queued for this thread. A quit request is put back for the loop that
// owns it and reported.
bool DispatchQueuedMessages()
{
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return true;
}

} // namespace

DWORD MessagePumpWait::Wait(const HANDLE* handles, DWORD count, DWORD timeoutMs)
{
    const DWORD started = ::GetTickCount();
    for (;;) {
        DWORD remaining = INFINITE;
        if (timeoutMs != INFINITE) {
            DWORD elapsed = ::GetTickCount() - started;
            remaining = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
        }
        DWORD wait = WAIT_FAILED;
        if (m_pumping)
            wait = ::MsgWaitForMultipleObjects(count, handles, FALSE, remaining, QS_ALLINPUT);
        else if (count > 0)
            wait = ::WaitForMultipleObjects(count, handles, FALSE, remaining);
        else
            wait = ::SleepEx(remaining, FALSE) == 0 ? WAIT_TIMEOUT : WAIT_FAILED;
        if (wait < WAIT_OBJECT_0 + count)
            return wait - WAIT_OBJECT_0;
        if (m_pumping && wait == WAIT_OBJECT_0 + count) {
            m_pumping = DispatchQueuedMessages();
            continue;
        }
        return kNone; // time-out, or a handle that cannot be waited on
    }
}

} // namespace plug
