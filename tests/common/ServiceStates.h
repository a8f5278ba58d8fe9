// The state of a service as the tests watch it.
#pragma once

#include <windows.h>

namespace plugtest {

// The current state of service (SERVICE_RUNNING, ...), 0 when it cannot be asked.
DWORD ServiceState(SC_HANDLE service);
// The state of the service named name, 0 when it is not registered.
DWORD ServiceStateByName(const wchar_t* name);
// Polls every 100 ms until service is in state or timeoutMs have passed.
bool WaitForState(SC_HANDLE service, DWORD state, DWORD timeoutMs);

} // namespace plugtest
