#include "SleepSeam.h"

namespace plug {

namespace {
volatile SleepHandler g_sleepHandler = nullptr;
}

void PlugSleep(DWORD milliseconds)
{
    SleepHandler handler = g_sleepHandler;
    if (handler)
        handler(milliseconds);
    else
        ::Sleep(milliseconds);
}

void PlugSleepHandlingSentMessages(DWORD milliseconds)
{
    SleepHandler handler = g_sleepHandler;
    if (handler) {
        handler(milliseconds);
        return;
    }
    const DWORD started = ::GetTickCount();
    for (;;) {
        DWORD elapsed = ::GetTickCount() - started;
        if (elapsed >= milliseconds)
            return;
        if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_SENDMESSAGE) == WAIT_OBJECT_0) {
            MSG message;
            ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE); // handles the sent ones
        }
    }
}

SleepHandler SetSleepHandler(SleepHandler handler)
{
    SleepHandler previous = g_sleepHandler;
    g_sleepHandler = handler;
    return previous;
}

} // namespace plug
