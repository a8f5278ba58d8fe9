// The driver step: remove an older driver where the profile asks for it, run the device's driver
// setup, wait for it, and judge by what is installed afterwards. And how the run starts a setup
// or a remover and waits for it, for the driver and the kit alike.
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

    // The driver's installation begins once a remover has started (it raises the flag then), or
    // here when nothing is removed: from then until the setup has ended the status shows it, and
    // a cancel only asks the worker to stop after it.
    RemoveOldDriver(moduleDirectory);
    ShowStatus(m_run.m_bInstallingDrv, TRUE);
    std::wstring toRun; // none: a missing setup, or a name that leaves the program's folder
    if (!plug::IsContainedRelativeName(profile.strDrvSetupFilename)) {
        Trace(plug::FormatString(L"[InstallDriver()] setup name leaves the program folder : %ls\r\n", setup.c_str()));
    } else if (plug::IsExistFile(setup) == TRUE) {
        Trace(plug::FormatString(L"Install Driver Full Path Name = %ls\n", setup.c_str()));
        toRun = setup;
    }
    RunSetup(toRun, m_run.m_bInstallingDrv);

    if (!m_detect.IsSuccessInstallingDriver(profile.nDriverType)) {
        Trace(L"[InstallDriver() IsSuccessInstallingDriver(m_ResDefineCommand.nDriverType) == FALSE] return code : "
              L"FALSE\r\n");
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

// The driver's installation begins with the remover: its flag rises once the remover has
// started, before the wait for it, and stays raised for the setup. A remover that has not ended
// in time is left running, and one that did not start is passed over: the installation goes on
// as if it had run.
void CPlugstartRun::RunRemover(const std::wstring& remover)
{
    const ProgramRun run = RunAndWait(remover, SW_HIDE, m_run.m_bInstallingDrv, m_dwRemoverWaitMs);
    if (run != ProgramRun::Ended)
        Trace(plug::FormatString(L"[InstallDriver()] remover %ls : %ls\r\n",
                                 run == ProgramRun::NotStarted ? L"did not start" : L"did not end in time",
                                 remover.c_str()));
}

void CPlugstartRun::RunSetup(const std::wstring& setup, SharedFlag& status)
{
    if (!setup.empty())
        RunAndWait(setup, SW_SHOWNORMAL, status, INFINITE); // a setup that did not start installed nothing
    ShowStatus(status, FALSE);
    m_host.PostBringToFront(); // the setup had the front
}

CPlugstartRun::ProgramRun CPlugstartRun::RunAndWait(const std::wstring& program, int showCommand, SharedFlag& status,
                                                    DWORD waitMs)
{
    plug::StartedProgram started = m_host.StartProgram(program, L"", showCommand);
    if (!status)
        ShowStatus(status, TRUE);
    if (!started)
        return ProgramRun::NotStarted;
    // Its work has ended when every process it started has ended too: many setups start the
    // real installer and exit at once.
    plug::ProgramWait waited = m_host.WaitForProgram(started, waitMs, m_dwStartedProcessesWaitMs);
    TraceStartedProcesses(program, waited);
    return waited.programEnded && waited.descendantsEnded ? ProgramRun::Ended : ProgramRun::StillRunning;
}

void CPlugstartRun::ShowStatus(SharedFlag& status, BOOL raised)
{
    status = raised;
    m_host.RepaintStatus();
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
