#include "InstantSleep.h"

#include "framework/SleepSeam.h"

#include <mutex>

namespace plugtest {

namespace {
std::mutex g_lock;
std::vector<DWORD> g_sleeps;
plug::SleepHandler g_previous = nullptr;
std::function<void(size_t, DWORD)> g_hook;

void Record(DWORD milliseconds)
{
    std::function<void(size_t, DWORD)> hook;
    size_t number = 0;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        g_sleeps.push_back(milliseconds);
        number = g_sleeps.size();
        hook = g_hook;
    }
    if (hook)
        hook(number, milliseconds);
}
} // namespace

InstantSleep::InstantSleep()
{
    Clear();
    g_previous = plug::SetSleepHandler(&Record);
}

InstantSleep::~InstantSleep()
{
    plug::SetSleepHandler(g_previous);
    OnSleep(nullptr);
}

void InstantSleep::OnSleep(std::function<void(size_t number, DWORD milliseconds)> hook)
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_hook = std::move(hook);
}

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
