// The program's side of the command service, used before Vista only: asking the service over its
// pipe (ServiceControl), and deploying it into the system folder (IsRequireUpdateSVC,
// InitService). The results go into the run's record.
#pragma once

#include "ServiceInstall.h"
#include "run/RunHost.h"
#include "run/RunState.h"

class CServiceBridge {
public:
    CServiceBridge(RunState& run, IRunHost& host, CServiceInstall& service)
        : m_run(run), m_host(host), m_SVC(service)
    {
    }

    // Asks the command service (USER_SERVICE_CONTROL_*) about the device's own drive. FALSE on
    // Vista and later, when the pipe does not open, when the request cannot be written, or when
    // no reply arrives; TRUE once a reply has been read into the record.
    BOOL ServiceControl(DWORD dwControl);
    // The same about the device on the drive of driveLetter (another device's, say).
    BOOL ServiceControl(DWORD dwControl, wchar_t driveLetter);

    // TRUE when the system folder's service executable is missing or older than the one in "tools".
    BOOL IsRequireUpdateSVC();
    // Removes the previous service, copies the configured service files into the system folder
    // and installs the service. FALSE when a listed file is not in the system folder afterwards.
    BOOL InitService();

private:
    void Trace(const std::wstring& text) { m_host.Trace(text); }

    RunState& m_run;
    IRunHost& m_host;
    CServiceInstall& m_SVC;
};
