// The record of one run of the program, with no window in it: the start facts, the device
// profile, what the system check decided, the results of the command service and the flags that
// the auto-run worker and the main dialog share. The steps of the run (core/, detect/, service/)
// read and write it; the main dialog holds it and paints from it.
#pragma once

#include "run/ResDefineCommand.h"
#include "run/PhoneSetReply.h"

#include <windows.h>

#include <atomic>
#include <string>

// A flag written by one thread and polled by another.
using SharedFlag = std::atomic<BOOL>;

struct RunState {
    RunState() = default;
    RunState(const RunState&) = delete;
    RunState& operator=(const RunState&) = delete;

    // --- Start facts, copied from the application object before the main dialog runs ---
    std::wstring m_strArgument;    // the whole command line at a PC start, empty at a CD start
    std::wstring m_strDriveLetter; // the device's drive letter at a PC start ("-l E"), else empty
    BOOL m_bVistaOS = FALSE;       // Vista-class Windows: the command service is never used
    BOOL m_bStartNewTrace = TRUE;  // the CD-start banner begins a new trace
    int m_nWow64 = 0;              // IsWow64() at start; any nonzero value counts as 64-bit Windows
    std::wstring m_strLangFile;    // relative name of the language file chosen at start

    // --- Device profile: this device's, and the one received from another instance ---
    ResDefineCommand m_ResDefineCommand;
    ResDefineCommand m_OtherResDefineCommand;

    // --- Decisions of the system check ---
    BOOL m_bFullInstall = TRUE;  // FALSE in driver-only mode (install_type "0")
    BOOL m_bDeploySVC = FALSE;   // the worker deploys the command service first
    // A "Drivers" edition package of the QCT driver is registered (set by the update check,
    // read by the driver installation).
    BOOL m_bDrvPackageRegistered = FALSE;

    // --- Results of the command service's pipe ---
    PhoneSetReply m_PhoneSetReply = {-1000, {0, 0, 0}, 0}; // last reply to the phone-setting query
    int m_nResultGetPhoneSet = 0;                           // its result field
    int m_nResultModeChange = 0;                            // the service's mode-change result

    // --- Shared between the auto-run worker and the dialog ---
    SharedFlag m_bAutoRunStarted{FALSE}; // the status texts are shown from then on
    SharedFlag m_bInstallingSVC{FALSE};  // the command service is deployed: cancel is refused meanwhile
    SharedFlag m_bInstallingDrv{FALSE};  // a driver setup runs: cancel is refused meanwhile
    SharedFlag m_bInstallingITK{FALSE};  // a kit setup runs: cancel is refused meanwhile
    SharedFlag m_bLaunchingITK{FALSE};
    SharedFlag m_bThreadEnd{FALSE};      // stop request for the worker
    SharedFlag m_bModeChanged{FALSE};    // the mode change has been sent to the own drive

    // Full path of the connection program that the launch starts.
    std::wstring m_strITKRunPath;
};

// The device's drive letter, to which every vendor command goes: the letter of a PC start
// ("-l E"), else the first letter of the program's own folder (at a CD start the program runs
// from the device's CD); 0 when there is none.
wchar_t DeviceDriveLetter(const RunState& run);
