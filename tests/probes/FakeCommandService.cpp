// A stand-in service for the installer's tests: registers as "Norvo SCSI Commander" and behaves
// as the file "fake_service_mode.txt" beside it says:
//   run      report running until stopped (the default)
//   pending  report "start pending" and never running; give up after 20 s
//   exit     stop at once
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
HANDLE g_stopEvent = nullptr;
SERVICE_STATUS g_status = {};

void Report(DWORD state, DWORD waitHint = 0)
{
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted = state == SERVICE_RUNNING || state == SERVICE_START_PENDING ? SERVICE_ACCEPT_STOP : 0;
    g_status.dwWaitHint = waitHint;
    ::SetServiceStatus(g_statusHandle, &g_status);
}

DWORD WINAPI Control(DWORD control, DWORD, LPVOID, LPVOID)
{
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING);
        ::SetEvent(g_stopEvent);
    }
    return NO_ERROR;
}

char ReadMode()
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* slash = std::strrchr(path, '\\');
    if (slash)
        std::strcpy(slash + 1, "fake_service_mode.txt");
    char mode[16] = {};
    if (FILE* file = std::fopen(path, "r")) {
        if (!std::fgets(mode, sizeof(mode), file))
            mode[0] = 0;
        std::fclose(file);
    }
    return mode[0] ? mode[0] : 'r';
}

void WINAPI ServiceMain(DWORD, LPWSTR*)
{
    g_statusHandle = ::RegisterServiceCtrlHandlerExW(L"Norvo SCSI Commander", &Control, nullptr);
    g_stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    switch (ReadMode()) {
    case 'e':
        Report(SERVICE_STOPPED);
        return;
    case 'p':
        Report(SERVICE_START_PENDING, 1000);
        ::WaitForSingleObject(g_stopEvent, 20000);
        Report(SERVICE_STOPPED);
        return;
    default:
        Report(SERVICE_RUNNING);
        ::WaitForSingleObject(g_stopEvent, INFINITE);
        Report(SERVICE_STOPPED);
        return;
    }
}

} // namespace

int main()
{
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(L"Norvo SCSI Commander"), &ServiceMain}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
