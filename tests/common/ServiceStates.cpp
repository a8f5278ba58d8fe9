#include "ServiceStates.h"

#include "framework/Handle.h"

namespace plugtest {

DWORD ServiceState(SC_HANDLE service)
{
    SERVICE_STATUS status = {};
    return ::QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
}

DWORD ServiceStateByName(const wchar_t* name)
{
    plug::UniqueSCHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    plug::UniqueSCHandle service(manager ? ::OpenServiceW(manager.Get(), name, SERVICE_QUERY_STATUS) : nullptr);
    return service ? ServiceState(service.Get()) : 0;
}

bool WaitForState(SC_HANDLE service, DWORD state, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
        if (ServiceState(service) == state)
            return true;
        ::Sleep(100);
    }
    return ServiceState(service) == state;
}

} // namespace plugtest
