#include "Hold.h"

#include "FileTools.h"

namespace sim {

namespace {
constexpr DWORD kPollMs = 20;
} // namespace

HoldScript ReadHoldScript(const StandInScript& script)
{
    HoldScript hold;
    hold.delayMs = script.Milliseconds(L"delay_ms", 0, kLongestHoldMs);
    hold.waitForFile = script.Text(L"wait_for_file");
    hold.waitLimitMs = script.Milliseconds(L"wait_limit_ms", kDefaultWaitLimitMs, kLongestHoldMs);
    return hold;
}

HoldResult Hold(const HoldScript& hold)
{
    if (hold.delayMs > 0)
        ::Sleep(hold.delayMs);
    if (hold.waitForFile.empty())
        return HoldResult::Released;
    DWORD start = ::GetTickCount();
    while (!PathExists(hold.waitForFile)) {
        if (::GetTickCount() - start >= hold.waitLimitMs)
            return HoldResult::TimedOut;
        ::Sleep(kPollMs);
    }
    return HoldResult::Released;
}

} // namespace sim
