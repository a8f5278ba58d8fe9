// The vendor command that switches the device from CD-ROM mode to modem mode, sent to the own
// drive and to every other drive that carries this program.
#include "PlugstartRun.h"

#include "DeviceSeam.h"
#include "config/Messages.h"
#include "config/ModulePath.h"
#include "devpoke/VendorCommands.h"
#include "framework/StringFormat.h"

int CPlugstartRun::SCSI_ModeChange()
{
    if (m_run.m_strArgument.empty() && !plug::IsExistFile(plug::GetModuleDirectory() + L"Devpoke.dll")) {
        plug::ShowLanguageMessage(m_host.MessageOwner(), L"STR_STRING_ERROR_CANNOT_FIND_SCSIDLL",
                                  MB_ICONEXCLAMATION | MB_OK);
        return FAIL_TO_OPEN_DRIVE;
    }
    wchar_t ownLetter = DeviceDriveLetter(m_run);

    m_run.m_bModeChanged = TRUE;
    int result = devpoke::SendModeChange(&plug::CallDevpoke, ownLetter, 1).Last();
    ModeChangeOtherDevices(ownLetter);
    return result;
}

void CPlugstartRun::ModeChangeOtherDevices(wchar_t ownLetter)
{
    const std::wstring own(1, ownLetter);
    DWORD drives = ::GetLogicalDrives();
    for (wchar_t letter = L'A'; drives != 0; ++letter, drives >>= 1) {
        if (!(drives & 1))
            continue;
        std::wstring root = plug::FormatString(L"%lc:\\", letter);
        if (::GetDriveTypeW(root.c_str()) != DRIVE_CDROM)
            continue;
        if (plug::EqualsNoCase(std::wstring(1, letter), own))
            continue;
        if (!plug::IsExistFile(root + L"Plugstart.exe"))
            continue;
        // The second form's result is not kept: the first one decides on the service route.
        int result = devpoke::SendModeChange(&plug::CallDevpoke, letter, 0).first;
        // The service request names the own drive (the request carries m_strDriveLetter), so a
        // refused other device is not switched by it: the program knows no other letter to send.
        if (result == FAIL_TO_OPEN_DRIVE_ACCESS_DENIED && m_run.m_ResDefineCommand.nITKType == ITKTYPE_VTP &&
            !m_run.m_bVistaOS) {
            if (!m_service.ServiceControl(USER_SERVICE_CONTROL_SEND_PHONE_MODE))
                Trace(L"ServiceControl(USER_SERVICE_CONTROL_SEND_PHONE_MODE) => return FALSE\r\n");
        }
    }
}
