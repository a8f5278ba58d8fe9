#include "InstantSleep.h"

#include "framework/SleepSeam.h"

#include <mutex>

namespace plugtest {

namespace {
std::mutex g_lock;
std::vector<DWORD> g_sleeps;
plug::SleepHandler g_previous = nullptr;

void Record(DWORD milliseconds)
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_sleeps.push_back(milliseconds);
}
} // namespace

InstantSleep::InstantSleep()
{
    Clear();
    g_previous = plug::SetSleepHandler(&Record);
}

InstantSleep::~InstantSleep() { plug::SetSleepHandler(g_previous); }

std::vector<DWORD> InstantSleep::Sleeps() const
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_sleeps;
}

DWORD InstantSleep::TotalMs() const
{
    std::lock_guard<std::mutex> guard(g_lock);
    DWORD total = 0;
    for (DWORD sleep : g_sleeps)
        total += sleep;
    return total;
}

void InstantSleep::Clear()
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_sleeps.clear();
}

} // namespace plugtest
