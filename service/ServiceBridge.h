// The program's side of the command service, used before Vista only: asking the service over its
// pipe (ServiceControl), and deploying it into the system folder (IsRequireUpdateSVC,
// InitService).
#pragma once

#include "PhoneSetReply.h"
#include "ServiceInstall.h"
#include "run/RunHost.h"
#include "run/RunState.h"

#include <cstdint>
#include <optional>

// What the command service answered to one request.
struct ServiceAnswer {
    // The vendor command's result as the service reports it: the result field of the reply to the
    // phone-setting query, or the value of the mode change's reply text.
    int nResult = 0;
    // The phone-setting query's three answer bytes in device order (zeros where none arrived, and
    // for the mode change).
    uint8_t byData[3] = {0, 0, 0};
};

class CServiceBridge {
public:
    CServiceBridge(RunState& run, IRunHost& host, CServiceInstall& service) : m_run(run), m_host(host), m_SVC(service)
    {
    }

    // Asks the command service (USER_SERVICE_CONTROL_*) about the device's own drive: its answer,
    // or none on Vista and later, when the pipe does not open, when the request cannot be written,
    // or when no reply arrives.
    std::optional<ServiceAnswer> ServiceControl(DWORD dwControl);
    // The same about the device on the drive of driveLetter (another device's, say).
    std::optional<ServiceAnswer> ServiceControl(DWORD dwControl, wchar_t driveLetter);

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
