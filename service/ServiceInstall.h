// CServiceInstall: registers, starts, removes and probes the command service that answers on
// the program's pipe ("Norvo SCSI Commander").
#pragma once

#include "ServiceIdentity.h"
#include "framework/Handle.h"

#include <windows.h>

// How long the removal tool may take before the deployment goes on without it.
constexpr DWORD kRemovalToolWaitMs = 60000;

class CServiceInstall {
public:
    CServiceInstall() = default;
    ~CServiceInstall();
    CServiceInstall(const CServiceInstall&) = delete;
    CServiceInstall& operator=(const CServiceInstall&) = delete;

    // Creates the service for lpszSvcFile and asks it to start. FALSE (mostly after telling the
    // user why) when nothing was created; a running or still registered service counts as that.
    BOOL InstallService(LPCTSTR lpszSvcFile);
    // Runs the service-removal tool that the configuration names and waits for it (at most
    // kRemovalToolWaitMs), then gives the service control manager 3 s. Always TRUE.
    BOOL UnInstallService();
    // TRUE when the service exists and runs.
    BOOL IsRunService();
    // Opens the service control manager for reading into m_hScm.
    BOOL Open_Service_Manager();
    // Existence probe: TRUE when the service can be opened with dwDesiredAccess. Leaves no handle open.
    BOOL Open_Service(DWORD dwDesiredAccess);

    plug::UniqueSCHandle m_hScm;
    plug::UniqueSCHandle m_hSrv;
    // How long UnInstallService waits for the removal tool.
    DWORD m_dwRemovalToolWaitMs = kRemovalToolWaitMs;

private:
    // Opens the new service, asks it to start and waits, bounded, until it runs or gives up.
    // FALSE (with a message) when the service cannot be opened for starting.
    BOOL StartAndWait(SC_HANDLE manager);
};
