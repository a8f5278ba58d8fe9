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

SleepHandler SetSleepHandler(SleepHandler handler)
{
    SleepHandler previous = g_sleepHandler;
    g_sleepHandler = handler;
    return previous;
}

} // namespace plug
