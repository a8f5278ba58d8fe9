// The steps of one run over its record: the system check, the auto-run sequence, the driver
// and kit installation, the mode change. They talk to the world only through the host (trace,
// message-box owner, repaints, starting programs) and the seams of the framework, so that they
// run without a window in the tests. The main dialog owns the record and is the host.
#pragma once

#include "detect/Detector.h"
#include "run/RunHost.h"
#include "run/RunState.h"
#include "service/ServiceBridge.h"
#include "service/ServiceInstall.h"

class CPlugstartRun {
public:
    CPlugstartRun(RunState& run, IRunHost& host) : m_run(run), m_host(host), m_detect(run, host), m_service(run, host, m_SVC) {}
    CPlugstartRun(const CPlugstartRun&) = delete;
    CPlugstartRun& operator=(const CPlugstartRun&) = delete;

    CDetector& Detect() { return m_detect; }
    CServiceBridge& Service() { return m_service; }
    CServiceInstall& ServiceInstaller() { return m_SVC; }

    // Switches the device, and every other CD-ROM drive with "Plugstart.exe" at its root, to
    // modem mode. Returns the own drive's SCSI result code; -2 when "Devpoke.dll" is missing at a
    // CD start (after telling the user).
    int SCSI_ModeChange();

private:
    void Trace(const std::wstring& text) { m_host.Trace(text); }
    // Sends the mode change to every CD-ROM drive but the own one that has "Plugstart.exe" at its root.
    void ModeChangeOtherDevices(wchar_t ownLetter);

    RunState& m_run;
    IRunHost& m_host;
    CServiceInstall m_SVC;
    CDetector m_detect;
    CServiceBridge m_service;
};
