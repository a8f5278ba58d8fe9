// The vendor command that switches the device from CD-ROM mode to modem mode, sent to the own
// drive and to every other drive that carries this program.
#include "PlugstartRun.h"

#include "DeviceSeam.h"
#include "WorkerMessages.h"
#include "config/Language.h"
#include "config/ModulePath.h"
#include "config/SystemFolders.h"
#include "devpoke/VendorCommands.h"
#include "framework/StringFormat.h"

int CPlugstartRun::SCSI_ModeChange()
{
    // Without the device library on the CD nothing is sent, and the user is told.
    if (IsDeviceLibraryMissing()) {
        Warn(L"STR_STRING_ERROR_CANNOT_FIND_SCSIDLL");
        return FAIL_TO_OPEN_DRIVE;
    }
    const wchar_t ownLetter = DeviceDriveLetter(m_run);
    // At a CD start the program runs from the device's CD, which goes away with the switch (the
    // program's own pages come from the page file, see plug_run_from_swap): what the run still
    // needs of it is taken first.
    if (m_run.m_strArgument.empty()) {
        KeepMessagesOfTheCd();
        LeaveTheCdFolder();
    }
    m_run.m_bModeChanged = TRUE; // from now on the window's end sends no switch of its own
    const devpoke::ModeChangeResults own = devpoke::SendModeChange(&plug::CallDevpoke, ownLetter,
                                                                   devpoke::SecondFormAnswer::OneByte);
    ModeChangeOtherDevices(ownLetter);
    // The second form stands in for a refused first one: the own drive's result is what the
    // device said last.
    return own.Last();
}

void CPlugstartRun::KeepMessagesOfTheCd()
{
    const int kitType = m_run.m_ResDefineCommand.nITKType;
    plug::KeepLanguageStrings(plug::KeysAfterTheModeChange(kitType, MayUseCommandService(kitType)));
}

void CPlugstartRun::LeaveTheCdFolder()
{
    std::wstring system;
    if (plug::GetSystemFolder(system))
        ::SetCurrentDirectoryW(system.c_str());
}

void CPlugstartRun::ModeChangeOtherDevices(wchar_t ownLetter)
{
    for (const std::wstring& root : plug::CdromDriveRoots(ownLetter)) {
        const wchar_t letter = root[0];
        if (!plug::IsExistFile(root + L"Plugstart.exe"))
            continue;
        const devpoke::ModeChangeResults other = devpoke::SendModeChange(&plug::CallDevpoke, letter,
                                                                         devpoke::SecondFormAnswer::None);
        // Here the first form's result decides on the service route; the second form's is not
        // kept. The service is asked to switch this device, on its own drive.
        ModeChangeThroughServiceIfRefused(other.First(), letter,
                                          L"ServiceControl(USER_SERVICE_CONTROL_SEND_PHONE_MODE) => return FALSE\r\n");
    }
}

void CPlugstartRun::ModeChangeOnExit()
{
    ModeChangeThroughServiceIfRefused(
        SCSI_ModeChange(), DeviceDriveLetter(m_run),
        L"[CPlugstartDlg::OnDestroy()] ServiceControl(USER_SERVICE_CONTROL_SEND_PHONE_MODE) => return FALSE\r\n");
}

void CPlugstartRun::ModeChangeThroughServiceIfRefused(int result, wchar_t letter, const wchar_t* failureTrace)
{
    if (result != FAIL_TO_OPEN_DRIVE_ACCESS_DENIED || !MayUseCommandService(m_run.m_ResDefineCommand.nITKType))
        return;
    if (!m_service.ServiceControl(USER_SERVICE_CONTROL_SEND_PHONE_MODE, letter))
        Trace(failureTrace);
}
