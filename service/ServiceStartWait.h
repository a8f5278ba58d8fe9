// The bounded wait for a service that was asked to start.
#pragma once

#include <windows.h>

#include <functional>

namespace plug {

enum class ServiceStartOutcome { Running, Stopped, QueryFailed, TimedOut };

// How long the installer waits at most for a started service to report that it runs.
const DWORD kServiceStartBudgetMs = 30000;

// Polls query until the service runs, stops, cannot be asked, or budgetMs have passed. Between
// polls it sleeps the service's wait hint (kept between 50 ms and 1 s).
ServiceStartOutcome WaitForServiceStartWith(const std::function<bool(SERVICE_STATUS&)>& query,
                                            DWORD budgetMs = kServiceStartBudgetMs);

// The same for a service handle opened with SERVICE_QUERY_STATUS.
ServiceStartOutcome WaitForServiceStart(SC_HANDLE service);

} // namespace plug
