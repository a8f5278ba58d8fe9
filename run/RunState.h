// The record of one run of the program, with no window in it: the start facts, the device
// profile, what the system check decided, the flags that the auto-run worker and the main dialog
// share, and the program the launch starts. The steps of the run (core/, detect/, service/)
// read and write it; the main dialog holds it and paints from it.
#pragma once

#include "run/ResDefineCommand.h"

#include <windows.h>

#include <atomic>
#include <string>

// A flag written by one thread and polled by another.
using SharedFlag = std::atomic<BOOL>;

// What the application object found at its start-up, which the run takes before the main
// dialog runs.
struct StartFacts {
    std::wstring m_strArgument;    // the whole command line at a PC start, empty at a CD start
    std::wstring m_strDriveLetter; // the device's drive letter at a PC start ("-l E"), else empty
    BOOL m_bVistaOS = FALSE;       // Vista-class Windows: the command service is never used
    BOOL m_bStartNewTrace = TRUE;  // the CD-start banner begins a new trace
    int m_nWow64 = 0;              // IsWow64() at start; any nonzero value counts as 64-bit Windows
};

struct RunState : StartFacts {
    RunState() = default;
    RunState(const RunState&) = delete;
    RunState& operator=(const RunState&) = delete;

    std::wstring m_strLangFile; // relative name of the language file chosen at start

    // --- Device profile: this device's, and the one received from another instance ---
    ResDefineCommand m_ResDefineCommand;
    ResDefineCommand m_OtherResDefineCommand;

    // --- Decisions of the system check ---
    BOOL m_bFullInstall = TRUE; // FALSE in driver-only mode (install_type "0")
    BOOL m_bDeploySVC = FALSE;  // the worker deploys the command service first
    // A "Drivers" edition package of the QCT driver is registered (set by the update check,
    // read by the driver installation).
    BOOL m_bDrvPackageRegistered = FALSE;

    // --- Shared between the auto-run worker and the dialog ---
    SharedFlag m_bAutoRunStarted{FALSE}; // the status texts are shown from then on
    SharedFlag m_bInstallingSVC{FALSE};  // the command service is deployed: cancel is refused meanwhile
    SharedFlag m_bInstallingDrv{FALSE};  // a driver setup runs: cancel is refused meanwhile
    SharedFlag m_bInstallingITK{FALSE};  // a kit setup runs: cancel is refused meanwhile
    // The kit's program is being launched. Two writers: the kit step raises it for every kit but
    // the PC suite, for which the launch poll sets it to whether the suite is installed; the
    // poll lowers it on a stop request.
    SharedFlag m_bLaunchingITK{FALSE};
    SharedFlag m_bThreadEnd{FALSE};   // stop request for the worker
    SharedFlag m_bModeChanged{FALSE}; // the mode change has been sent to the own drive

    // Full path of the connection program that the launch starts: written by the launch when it
    // finds the program, kept as it was when it does not (the PC suite is started all the same).
    std::wstring m_strITKRunPath;
};

// The device's drive: the letter of a PC start ("-l E"), else the program's own folder (at a CD
// start the program runs from the device's CD). Only its first character counts; another instance
// receives it whole in the profile.
std::wstring DeviceDrive(const RunState& run);
// Its letter, to which every vendor command goes; 0 when there is none.
wchar_t DeviceDriveLetter(const RunState& run);
