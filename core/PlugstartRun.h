// The steps of one run over its record: the system check, the auto-run sequence, the driver
// and kit installation, the mode change. They talk to the world only through the host (trace,
// message-box owner, repaints, starting programs) and the seams of the framework (message boxes,
// sleeping, the device), so that they run without a window in the tests. The main dialog owns
// the record and is the host.
#pragma once

#include "detect/Detector.h"
#include "run/RunHost.h"
#include "run/RunState.h"
#include "service/ServiceBridge.h"
#include "service/ServiceInstall.h"

#include <optional>
#include <string>

// How long a driver remover may run before the installation goes on without it: it runs hidden
// while Cancel is refused, and one stuck on a prompt nobody sees must not hold the run for ever.
constexpr DWORD kRemoverWaitMs = 10 * 60 * 1000;
// How long, after a setup or remover has ended, the processes it started (its real installer,
// as many setups start one and exit) are waited for before the run judges without them: Cancel
// is still refused meanwhile, and a process that lives on (a program the setup left running)
// must not hold the run for ever.
constexpr DWORD kStartedProcessesWaitMs = kRemoverWaitMs;

class CPlugstartRun {
public:
    CPlugstartRun(RunState& run, IRunHost& host)
        : m_run(run), m_host(host), m_detect(run, host), m_service(run, host, m_SVC)
    {
    }
    CPlugstartRun(const CPlugstartRun&) = delete;
    CPlugstartRun& operator=(const CPlugstartRun&) = delete;

    CDetector& Detect() { return m_detect; }
    CServiceBridge& Service() { return m_service; }
    CServiceInstall& ServiceInstaller() { return m_SVC; }

    // Builds the device profile from the configuration, the device's phone-setting answer (or
    // the command service's, when a user without rights is refused before Vista) and what is
    // installed. FALSE after a warning box when the device cannot be reached (CheckSystem.cpp).
    BOOL CheckSystem();

    // The sequence: service, driver, kit, hand-off values, verification, mode change, launch.
    // TRUE when it reached its end, FALSE when it stopped after a message or a stop request
    // (AutoRun.cpp).
    BOOL AutoRun();

    // Runs the driver setup (after removing an older driver where the profile asks for it) and
    // waits for it; TRUE when the driver is installed afterwards (DriverInstall.cpp).
    BOOL InstallDriver();
    // A driver or kit setup run to its end (nothing starts when setup is empty: a missing or
    // unusable setup): RunAndWait, shown, without a bound, which raises status; then status is
    // lowered and the window brought back to the front, which the setup had. Whether the setup
    // installed anything is the caller's to judge.
    void RunSetup(const std::wstring& setup, SharedFlag& status);

    // What became of a program that RunAndWait started.
    enum class ProgramRun {
        NotStarted,   // it did not start (missing, or not a program)
        Ended,        // it ended within its bound, and every process it started within theirs
        StillRunning, // it, or a process it started, was still running at the end of the wait
    };
    // Starts program (hidden or shown), raises status once the start has been tried, unless it is
    // raised already (the status line shows the installation from then on, and a cancel only asks
    // the worker to stop after it), and waits until the program has ended, at most waitMs, and
    // then until every process it started has ended, at most m_dwStartedProcessesWaitMs more.
    ProgramRun RunAndWait(const std::wstring& program, int showCommand, SharedFlag& status, DWORD waitMs);
    // Runs the kit setup and waits for it; TRUE when the kit is installed afterwards (KitInstall.cpp).
    BOOL InstallITK();
    // Starts the kit's program ("-aik" for the Internet Kit) without waiting. Always TRUE.
    BOOL RunITK(std::wstring strFile);

    // Switches the device, and every other CD-ROM drive with "Plugstart.exe" at its root, to
    // modem mode. Returns the own drive's SCSI result code; -2 when "Devpoke.dll" is missing at a
    // CD start (after telling the user) (ModeChange.cpp).
    int SCSI_ModeChange();
    // The mode change of a window that goes without the worker having sent one: SCSI_ModeChange,
    // and a refused own drive switched by the command service where that may be used.
    void ModeChangeOnExit();

    // How long InstallDriver waits for a remover (kRemoverWaitMs).
    DWORD m_dwRemoverWaitMs = kRemoverWaitMs;
    // How long a setup's or remover's own processes are waited for after it (kStartedProcessesWaitMs).
    DWORD m_dwStartedProcessesWaitMs = kStartedProcessesWaitMs;

private:
    void Trace(const std::wstring& text) { m_host.Trace(text); }
    // A warning box owned by the host's window: the language text of key, or text as given.
    void Warn(const std::wstring& key);
    void WarnText(const std::wstring& text);
    bool IsJapaneseLanguage() const;
    // At a CD start the program runs from the device's CD, which must carry the device library.
    bool IsDeviceLibraryMissing() const;
    // Whether the command service may stand in for a refused user: with the VTP kit before Vista.
    bool MayUseCommandService(int kitType) const;

    // CheckSystem's steps.
    void ReadProfileFromConfiguration(int* configuredKitType);
    // Asks the device for its phone setting, through the command service when it refuses this
    // user (*refusedUser), and applies the answer to the profile. FALSE after a warning box when
    // no answer came.
    BOOL ReadPhoneSetting(int configuredKitType, bool* refusedUser);
    // The query sent directly: its result code, reply filled with what the device answered.
    int QueryPhoneSetting(uint8_t (&reply)[3]);
    // The query through the command service: the result it reports, with reply filled, or none
    // after a warning box when the service may not or cannot be used or reports a failure.
    std::optional<int> QueryPhoneSettingThroughService(int configuredKitType, uint8_t (&reply)[3]);
    void ReadInstallationState();

    // AutoRun's steps, in their order; each FALSE means "stop".
    // Stop check number check: true, after its trace, when the user has asked to stop.
    bool StopRequested(int check);
    BOOL DeployServiceStep(int kitType);
    BOOL DriverStep();
    // The kit's setup (never the PC suite's: the companion installer brings it after the mode
    // change).
    BOOL KitStep(int kitType);
    // The driver is there now, and no PC-suite program runs that keeps the kit from starting.
    BOOL VerificationStep(int driverType, int kitType);
    BOOL ModeChangeStep(int kitType);
    BOOL LaunchStep(int driverType, int kitType);
    // The launch poll: a round a second until the device is back as a modem (its driver
    // installed), 181 rounds at most. false on a stop request, after clearing the launch status.
    bool WaitForModem(int driverType, int kitType);

    // The driver setup's removal of an older driver (DriverInstall.cpp).
    void RemoveOldDriver(const std::wstring& moduleDirectory);
    // Runs a remover hidden and waits for it, at most m_dwRemoverWaitMs.
    void RunRemover(const std::wstring& remover);
    // What the wait saw of the processes the program started, when it started any.
    void TraceStartedProcesses(const std::wstring& program, const plug::ProgramWait& waited);
    // A status flag of the window (what the status line shows, and whether a cancel is refused)
    // raised or lowered, and the status line repainted. Every status change of the run goes here.
    void ShowStatus(SharedFlag& status, BOOL raised);

    // At a CD start, before the CD goes with the switch: the texts of the messages the run may
    // show after it are read from the language file on the CD and kept; the process's current
    // directory moves from the CD to the system folder, so that the programs it starts afterwards
    // are not handed a folder that no longer exists.
    void KeepMessagesOfTheCd();
    void LeaveTheCdFolder();
    // Sends the mode change to every CD-ROM drive but the own one that has "Plugstart.exe" at its root.
    void ModeChangeOtherDevices(wchar_t ownLetter);
    // After a mode change that the device on the drive of letter refused, asks the command
    // service to switch that device where it may; traces failureTrace when the service could not
    // be asked.
    void ModeChangeThroughServiceIfRefused(int result, wchar_t letter, const wchar_t* failureTrace);

    RunState& m_run;
    IRunHost& m_host;
    CServiceInstall m_SVC;
    CDetector m_detect;
    CServiceBridge m_service;
};
