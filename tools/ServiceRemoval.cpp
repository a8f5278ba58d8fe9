#include "ServiceRemoval.h"

#include "framework/Handle.h"
#include "service/ServiceIdentity.h"

namespace plug {

namespace {

// Asks a running service to stop and waits until it reports stopped or the budget is spent.
void StopService(SC_HANDLE service, DWORD budgetMs)
{
    SERVICE_STATUS status = {};
    if (!::QueryServiceStatus(service, &status) || status.dwCurrentState == SERVICE_STOPPED)
        return;
    if (status.dwCurrentState != SERVICE_STOP_PENDING && !::ControlService(service, SERVICE_CONTROL_STOP, &status))
        return; // it cannot be stopped now; deleting it still marks it for removal
    const DWORD started = ::GetTickCount();
    while (status.dwCurrentState != SERVICE_STOPPED && ::GetTickCount() - started < budgetMs) {
        ::Sleep(100);
        if (!::QueryServiceStatus(service, &status))
            return;
    }
}

// Waits until the service control manager has let go of a deleted service, so that a new one of
// the same name can be created at once. A deleted service stays "marked for delete" while its
// process ends and handles to it remain.
void WaitUntilGone(SC_HANDLE manager, DWORD budgetMs)
{
    const DWORD started = ::GetTickCount();
    for (;;) {
        UniqueSCHandle service(::OpenServiceW(manager, kCommandServiceName, SERVICE_QUERY_STATUS));
        if (!service || ::GetTickCount() - started >= budgetMs)
            return;
        service.Reset();
        ::Sleep(100);
    }
}

} // namespace

ServiceRemovalResult RemoveCommandService(DWORD stopBudgetMs)
{
    UniqueSCHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager)
        return SERVICE_REMOVAL_NO_MANAGER;
    UniqueSCHandle service(
        ::OpenServiceW(manager.Get(), kCommandServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (!service)
        return ::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? SERVICE_REMOVED : SERVICE_REMOVAL_FAILED;
    StopService(service.Get(), stopBudgetMs);
    if (!::DeleteService(service.Get()) && ::GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
        return SERVICE_REMOVAL_FAILED;
    service.Reset();
    WaitUntilGone(manager.Get(), stopBudgetMs);
    return SERVICE_REMOVED;
}

} // namespace plug
