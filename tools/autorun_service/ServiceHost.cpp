#include "ServiceHost.h"

#include "PipeServer.h"
#include "framework/Handle.h"
#include "service/ServiceIdentity.h"

#include <windows.h>

namespace autorun_service {

namespace {

constexpr DWORD kStartWaitHintMs = 3000;
// A request in progress finishes before the service stops; the device may take its time.
constexpr DWORD kStopWaitHintMs = 10000;

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
HANDLE g_stopEvent = nullptr; // owned by RunService, alive while the dispatcher runs
DWORD g_checkPoint = 0;

void ReportStatus(DWORD state, DWORD exitCode = NO_ERROR, DWORD waitHint = 0)
{
    SERVICE_STATUS status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = (state == SERVICE_RUNNING) ? (SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN) : 0;
    status.dwWin32ExitCode = exitCode;
    status.dwWaitHint = waitHint;
    bool pending = (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING);
    status.dwCheckPoint = pending ? ++g_checkPoint : 0;
    ::SetServiceStatus(g_statusHandle, &status);
}

DWORD WINAPI ControlHandler(DWORD control, DWORD, LPVOID, LPVOID)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        ReportStatus(SERVICE_STOP_PENDING, NO_ERROR, kStopWaitHintMs);
        ::SetEvent(g_stopEvent);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

// Serves the pipe until the stop control; the pipe is closed when this returns.
DWORD ServeUntilStopped()
{
    CPipeServer server;
    DWORD error = server.Create();
    if (error != NO_ERROR)
        return error;
    ReportStatus(SERVICE_RUNNING);
    return server.Serve(g_stopEvent);
}

void WINAPI ServiceMain(DWORD, LPWSTR*)
{
    g_statusHandle = ::RegisterServiceCtrlHandlerExW(plug::kCommandServiceName, ControlHandler, nullptr);
    if (!g_statusHandle)
        return;
    ReportStatus(SERVICE_START_PENDING, NO_ERROR, kStartWaitHintMs);
    DWORD error = ServeUntilStopped();
    ReportStatus(SERVICE_STOPPED, error); // only once the pipe is gone
}

} // namespace

int RunService()
{
    plug::UniqueHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stop)
        return 1;
    g_stopEvent = stop.Get();
    wchar_t name[64];
    ::lstrcpynW(name, plug::kCommandServiceName, 64);
    SERVICE_TABLE_ENTRYW services[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherW(services) ? 0 : 1;
}

} // namespace autorun_service
