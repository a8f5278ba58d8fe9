#include "ServiceStartWait.h"

#include "framework/SleepSeam.h"

namespace plug {

ServiceStartOutcome WaitForServiceStartWith(const std::function<bool(SERVICE_STATUS&)>& query, DWORD budgetMs)
{
    const DWORD started = ::GetTickCount();
    DWORD slept = 0;
    for (;;) {
        SERVICE_STATUS status = {};
        if (!query(status))
            return ServiceStartOutcome::QueryFailed;
        if (status.dwCurrentState == SERVICE_RUNNING)
            return ServiceStartOutcome::Running;
        if (status.dwCurrentState == SERVICE_STOPPED)
            return ServiceStartOutcome::Stopped;
        // Both the time slept and the time passed count, so a seam that skips the sleeps ends
        // the wait as surely as the clock does.
        DWORD elapsed = ::GetTickCount() - started;
        if (slept > elapsed)
            elapsed = slept;
        if (elapsed >= budgetMs)
            return ServiceStartOutcome::TimedOut;
        DWORD pause = status.dwWaitHint < 50 ? 50 : (status.dwWaitHint > 1000 ? 1000 : status.dwWaitHint);
        if (pause > budgetMs - elapsed)
            pause = budgetMs - elapsed;
        PlugSleep(pause);
        slept += pause;
    }
}

ServiceStartOutcome WaitForServiceStart(SC_HANDLE service)
{
    return WaitForServiceStartWith(
        [service](SERVICE_STATUS& status) { return ::QueryServiceStatus(service, &status) != FALSE; });
}

} // namespace plug
