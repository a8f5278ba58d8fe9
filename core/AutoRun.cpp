// The auto-run sequence: service, driver, kit, hand-off values, verification, mode change and
// the launch of the connection software. It stops at the first failure (after telling the user)
// and at its five checks of the stop request.
#include "PlugstartRun.h"

#include "WorkerMessages.h"
#include "config/Language.h"
#include "config/Messages.h"
#include "framework/SleepSeam.h"
#include "framework/StringFormat.h"
#include "framework/Trace.h"

#include <algorithm>
#include <optional>

namespace {
const int kLaunchPollRounds = 181; // about three minutes for the device to come back as a modem
const DWORD kLaunchPollMs = 1000;
const DWORD kPcSuiteMinimumWaitMs = 3000;
} // namespace

BOOL CPlugstartRun::AutoRun()
{
    Trace(L"Start : [CPlugstartDlg::AutoRun()]\r\n");
    const ResDefineCommand& profile = m_run.m_ResDefineCommand;
    const int driverType = profile.nDriverType; // read once: the whole sequence uses these
    const int kitType = profile.nITKType;
    m_run.m_bAutoRunStarted = TRUE;
    m_host.RepaintAll();

    if (!DeployServiceStep(kitType) || StopRequested(0))
        return FALSE;
    if (!DriverStep() || StopRequested(1))
        return FALSE;
    // Driver-only mode goes from the driver straight to the mode change.
    if (m_run.m_bFullInstall) {
        // The PC suite is installed after the mode change, by the companion installer.
        if (kitType != TYPE_PCSYNC && !KitStep(kitType))
            return FALSE;
        if (kitType == ITKTYPE_NorvoITK) { // the values the Internet Kit reads at its start
            m_detect.SaveDriverTypeForITK();
            m_detect.SaveModemNamesForITK();
        }
        if (StopRequested(2) || !VerificationStep(driverType, kitType))
            return FALSE;
    }
    plug::TraceMoment(L"mode change");
    if (!ModeChangeStep(kitType))
        return FALSE;
    plug::TraceMoment(L"device switched");
    if (!m_run.m_bFullInstall) {
        Trace(L"[CPlugstartDlg::AutoRun()] Only Driver install mode : Mode Change & AutoRun End\r\n");
        return TRUE;
    }
    if (StopRequested(3))
        return FALSE;
    if (kitType == TYPE_PCSYNC && profile.bInstallITK) {
        m_host.PostEnableCancelButtons(FALSE);
        m_host.RunCompanionInstaller();
        m_host.PostEnableCancelButtons(TRUE);
        return TRUE;
    }
    if (kitType == TYPE_CM_DCM) {
        Trace(L"[CPlugstartDlg::AutoRun()] DCM Type : Mode Change & AutoRun End\r\n");
        return TRUE; // the connection manager is not launched
    }
    return LaunchStep(driverType, kitType);
}

bool CPlugstartRun::StopRequested(int check)
{
    if (!m_run.m_bThreadEnd)
        return false;
    Trace(plug::FormatString(L"[m_bThreadEnd == TRUE (%d)]\r\n", check));
    return true;
}

BOOL CPlugstartRun::DeployServiceStep(int kitType)
{
    if (!MayUseCommandService(kitType) || !m_run.m_bDeploySVC)
        return TRUE;
    ShowStatus(m_run.m_bInstallingSVC, TRUE);
    BOOL deployed = m_service.InitService();
    ShowStatus(m_run.m_bInstallingSVC, FALSE);
    return deployed; // a failed deployment stops the sequence without a message of its own
}

BOOL CPlugstartRun::DriverStep()
{
    if (!m_run.m_ResDefineCommand.bInstallDrv)
        return TRUE;
    m_host.PostEnableCancelButtons(FALSE);
    BOOL installed = InstallDriver();
    // The enabling is posted after the warning has been closed: the buttons stay disabled while
    // it is open, since the window carries out the requests in the order they were posted.
    if (!installed)
        Warn(L"STR_STRING_DRV_NOT_INSTALL_NOTIFY");
    m_host.PostEnableCancelButtons(TRUE);
    return installed;
}

BOOL CPlugstartRun::KitStep(int kitType)
{
    if (m_run.m_ResDefineCommand.bInstallITK) {
        m_host.PostEnableCancelButtons(FALSE);
        if (!InstallITK()) {
            // Shown before the enabling is posted, as for the driver.
            WarnText(plug::KitNotInstalledText(kitType, IsJapaneseLanguage(),
                                               plug::GetLanguageString(L"STR_STRING_PCSUITE_NOT_INSTALL"),
                                               plug::GetLanguageString(L"STR_STRING_PCSUITE_NOT_INSTALL_CM")));
            m_host.PostEnableCancelButtons(TRUE);
            return FALSE;
        }
        m_host.PostEnableCancelButtons(TRUE);
    }
    // From here the status shows the kit's launch (the PC suite's, which this step passes over,
    // follows whether the suite is installed: see WaitForModem).
    ShowStatus(m_run.m_bLaunchingITK, TRUE);
    return TRUE;
}

BOOL CPlugstartRun::VerificationStep(int driverType, int kitType)
{
    if (!m_detect.IsSuccessInstallingDriver(driverType)) {
        Warn(L"STR_STRING_DRV_NOT_INSTALL_NOTIFY");
        return FALSE;
    }
    // While a PC-suite program runs, the operator's kit and the Internet Kit are not started.
    if (kitType != TYPE_PCSYNC && kitType != TYPE_CM_DCM && m_detect.IsRunPCSuiteApp()) {
        plug::ShowLanguageMessage(nullptr, L"STR_STRING_CANNOT_START_ITK", MB_ICONEXCLAMATION | MB_OK);
        return FALSE;
    }
    return TRUE;
}

BOOL CPlugstartRun::ModeChangeStep(int kitType)
{
    int result = SCSI_ModeChange();
    std::wstring failure = plug::ScsiFailureKey(result, plug::CommandSender::Program, plug::VendorCommand::ModeChange);
    if (!failure.empty()) {
        Warn(failure);
        return FALSE;
    }
    if (result != FAIL_TO_OPEN_DRIVE_ACCESS_DENIED)
        return TRUE;
    // Refused: only the command service may switch the device, and only before Vista.
    if (!MayUseCommandService(kitType)) {
        Warn(L"STR_STRING_NON_ADMIN_NOTI");
        return FALSE;
    }
    std::optional<ServiceAnswer> answer = m_service.ServiceControl(USER_SERVICE_CONTROL_SEND_PHONE_MODE);
    if (!answer) {
        Warn(L"STR_STRING_ERROR_SCSI_3_1");
        return FALSE;
    }
    failure = plug::ScsiFailureKey(answer->nResult, plug::CommandSender::Service, plug::VendorCommand::ModeChange);
    if (!failure.empty()) {
        Warn(failure);
        return FALSE;
    }
    return TRUE;
}

BOOL CPlugstartRun::LaunchStep(int driverType, int kitType)
{
    Trace(L"Start : VTP Program\r\n");
    if (std::optional<std::wstring> program = m_detect.CheckITKProgram(kitType)) {
        m_run.m_strITKRunPath = *program;
    } else if (kitType != TYPE_PCSYNC) {
        WarnText(plug::WithProductName(plug::GetLanguageString(L"STR_STRING_NOT_FOUND_PCSUITE"), kitType));
        return FALSE;
    } // a PC suite whose program is not found: what was found before is started (nothing in a normal run)
    // The time the device asked for after the mode change; the PC suite waits 3 s at least.
    DWORD wait = m_run.m_ResDefineCommand.dwSCSIWaitTime;
    plug::PlugSleep(kitType == TYPE_PCSYNC ? std::max(wait, kPcSuiteMinimumWaitMs) : wait);
    if (!WaitForModem(driverType, kitType))
        return FALSE;
    Trace(L"Start : [RunITK(strITKFilename)]\r\n");
    RunITK(m_run.m_strITKRunPath);
    Trace(L"End : [RunITK(strITKFilename)]\r\n");
    Trace(L"End : VTP Program\r\n");
    return TRUE;
}

bool CPlugstartRun::WaitForModem(int driverType, int kitType)
{
    bool announced = false;
    for (int round = 1;; ++round) {
        // The PC suite's launch status is the other writer of the flag (the kit step raises it for
        // the other kits): it holds while the suite is installed, and shows the first time it does.
        if (kitType == TYPE_PCSYNC)
            m_run.m_bLaunchingITK = m_detect.IsInstalledITK(TYPE_PCSYNC);
        if (m_run.m_bLaunchingITK && !announced) {
            m_host.RepaintStatus();
            announced = true;
        }
        if (m_detect.IsInstalledDriver(driverType))
            return true;
        plug::PlugSleep(kLaunchPollMs);
        // The stop request is checked on the way into the next round. After the last round's
        // sleep there is none: the wait is over and the program is started whether or not the
        // device came back, so a stop requested during that last second no longer stops it.
        if (round == kLaunchPollRounds)
            return true;
        if (StopRequested(4)) {
            ShowStatus(m_run.m_bLaunchingITK, FALSE);
            return false;
        }
    }
}
