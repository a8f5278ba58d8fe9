#include "Hold.h"

#include "FileTools.h"

namespace sim {

namespace {
constexpr DWORD kPollMs = 20;

// True once path exists, false when limitMs have passed first.
bool WaitForFile(const std::wstring& path, DWORD limitMs)
{
    DWORD start = ::GetTickCount();
    while (!PathExists(path)) {
        DWORD waited = ::GetTickCount() - start;
        if (waited >= limitMs)
            return false;
        ::Sleep(limitMs - waited < kPollMs ? limitMs - waited : kPollMs);
    }
    return true;
}
} // namespace

std::wstring DelayReleaseFile(const std::wstring& stem, DWORD processId)
{
    return stem.empty() ? std::wstring() : stem + L"-" + std::to_wstring(processId);
}

HoldScript ReadHoldScript(const StandInScript& script)
{
    HoldScript hold;
    hold.delayMs = script.Milliseconds(L"delay_ms", 0, kLongestHoldMs);
    if (hold.delayMs > 0)
        hold.delayReleaseFile = DelayReleaseFile(script.Text(L"delay_release"), ::GetCurrentProcessId());
    hold.waitForFile = script.Text(L"wait_for_file");
    hold.waitLimitMs = script.Milliseconds(L"wait_limit_ms", kDefaultWaitLimitMs, kLongestHoldMs);
    return hold;
}

HoldResult Hold(const HoldScript& hold)
{
    if (hold.delayMs > 0) {
        if (hold.delayReleaseFile.empty())
            ::Sleep(hold.delayMs);
        else
            WaitForFile(hold.delayReleaseFile, hold.delayMs);
    }
    if (hold.waitForFile.empty())
        return HoldResult::Released;
    return WaitForFile(hold.waitForFile, hold.waitLimitMs) ? HoldResult::Released : HoldResult::TimedOut;
}

} // namespace sim
