// The driver step: remove an older driver where the profile asks for it, run the device's driver
// setup, wait for it, and judge by what is installed afterwards.
#include "PlugstartRun.h"

#include "config/ConfigFile.h"
#include "config/ModulePath.h"
#include "config/RelativeName.h"
#include "framework/StringFormat.h"

BOOL CPlugstartRun::InstallDriver()
{
    Trace(L"Start : [CPlugstartDlg::InstallDriver()]\r\n");
    const ResDefineCommand& profile = m_run.m_ResDefineCommand;
    if (profile.strDrvSetupFilename.empty()) {
        Warn(L"STR_STRING_ERROR_DRV_SETUP_NAME_EMPTY");
        return FALSE;
    }
    const std::wstring moduleDirectory = plug::GetModuleDirectory();
    const std::wstring setup = moduleDirectory + profile.strDrvSetupFilename;
    if (plug::GetConfigValue(m_host.MessageOwner(), L"DRIVER", L"driver_autouninstall") == L"1")
        m_run.m_bDrvPackageRegistered = FALSE; // the setup removes the old package itself

    // The driver's installation begins once a remover has started (RemoveOldDriver raises the
    // flag then), or here when nothing is removed: from then until the setup has ended the status
    // shows it, and a cancel only asks the worker to stop after it.
    RemoveOldDriver(moduleDirectory);
    m_run.m_bInstallingDrv = TRUE;
    m_host.RepaintStatus();
    // A setup name that leaves the program's folder is treated as a missing setup: nothing starts.
    if (!plug::IsContainedRelativeName(profile.strDrvSetupFilename)) {
        Trace(plug::FormatString(L"[InstallDriver()] setup name leaves the program folder : %ls\r\n", setup.c_str()));
    } else if (plug::IsExistFile(setup) == TRUE) {
        Trace(plug::FormatString(L"Install Driver Full Path Name = %ls\n", setup.c_str()));
        RunAndWait(setup, SW_SHOWNORMAL, nullptr);
    }
    m_run.m_bInstallingDrv = FALSE;
    m_host.RepaintStatus();

    m_host.PostBringToFront();
    if (!m_detect.IsSuccessInstallingDriver(profile.nDriverType)) {
        Trace(L"[InstallDriver() IsSuccessInstallingDriver(m_ResDefineCommand.nDriverType) == FALSE] return code : FALSE\r\n");
        return FALSE;
    }
    Trace(L"End : [CPlugstartDlg::InstallDriver()]\r\n");
    return TRUE;
}

// Removes what an older driver left: the previous QCT package, or an installed EMP driver.
void CPlugstartRun::RemoveOldDriver(const std::wstring& moduleDirectory)
{
    if (m_run.m_bDrvPackageRegistered) {
        std::wstring remover = moduleDirectory + L"UninstallMSI.exe";
        Trace(plug::FormatString(L"Uninstall MSI Driver Full Path Name = %ls\n", remover.c_str()));
        RunRemover(remover);
        return;
    }
    if (m_run.m_ResDefineCommand.nDriverType != DRIVERTYPE_EMP)
        return;
    std::wstring name = plug::GetConfigValue(m_host.MessageOwner(), L"DRIVER", L"emp_uninstall_linkfile");
    std::wstring remover = moduleDirectory + name;
    Trace(plug::FormatString(L"Uninstall EMP Driver Full Path Name = %ls\n", remover.c_str()));
    // No remover named (or one outside the program's folder): nothing to start.
    if (!plug::IsContainedRelativeName(name)) {
        Trace(L"[InstallDriver()] no usable EMP remover named\r\n");
        return;
    }
    RunRemover(remover);
}

// The installation flag rises once the remover has started, before the wait for it. A remover
// that has not ended in time is left running; the installation goes on as if it had.
void CPlugstartRun::RunRemover(const std::wstring& remover)
{
    if (!RunAndWait(remover, SW_HIDE, &m_run.m_bInstallingDrv, m_dwRemoverWaitMs))
        Trace(plug::FormatString(L"[InstallDriver()] remover did not end in time : %ls\r\n", remover.c_str()));
}

BOOL CPlugstartRun::RunAndWait(const std::wstring& program, int showCommand, SharedFlag* raise, DWORD waitMs)
{
    plug::StartedProgram started = m_host.StartProgram(program, L"", showCommand);
    if (raise) {
        *raise = TRUE;
        m_host.RepaintStatus();
    }
    if (!started)
        return TRUE;
    // Its work has ended when every process it started has ended too: many setups start the
    // real installer and exit at once.
    plug::ProgramWait waited = m_host.WaitForProgram(started, waitMs, m_dwStartedProcessesWaitMs);
    TraceStartedProcesses(program, waited);
    return waited.programEnded && waited.descendantsEnded;
}

void CPlugstartRun::TraceStartedProcesses(const std::wstring& program, const plug::ProgramWait& waited)
{
    if (!waited.programEnded || waited.descendants == 0)
        return;
    const unsigned long count = waited.descendants;
    const unsigned long waitedMs = waited.descendantsWaitMs;
    if (waited.descendantsEnded) {
        Trace(plug::FormatString(L"[WaitForProgram()] %ls started %lu other process%ls : all ended %lu ms after it\r\n",
                                 program.c_str(), count, count == 1 ? L"" : L"es", waitedMs));
    } else {
        Trace(plug::FormatString(L"[WaitForProgram()] %ls started %lu other process%ls : still running %lu ms after "
                                 L"it, not waited for any longer\r\n",
                                 program.c_str(), count, count == 1 ? L"" : L"es", waitedMs));
    }
}
