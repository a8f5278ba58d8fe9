// The system check: the device profile from the configuration, the device's answer to the
// phone-setting query and the installation state, before the main window shows.
#include "PlugstartRun.h"

#include "DeviceSeam.h"
#include "PhoneReply.h"
#include "WorkerMessages.h"
#include "config/ConfigFile.h"
#include "config/ConfigText.h"
#include "config/Messages.h"
#include "config/ModulePath.h"
#include "devpoke/VendorCommands.h"
#include "framework/StringFormat.h"

#include <cstring>
#include <optional>

namespace {

int DriverTypeFromText(const std::wstring& text)
{
    if (plug::EqualsNoCase(text, L"EMP"))
        return DRIVERTYPE_EMP;
    if (plug::EqualsNoCase(text, L"FOMA_K21C"))
        return DRIVERTYPE_FOMA_K21C;
    return DRIVERTYPE_QCT; // "QCT", and any other or missing value
}

int KitTypeFromText(const std::wstring& text)
{
    for (int type : {ITKTYPE_NorvoITK, TYPE_PCSYNC, TYPE_CM_DCM}) {
        if (text == plug::DecimalText(type))
            return type;
    }
    return ITKTYPE_VTP; // "0", and any other or missing value
}

} // namespace

BOOL CPlugstartRun::CheckSystem()
{
    Trace(L"Start : [CPlugstartDlg::CheckSystem()]\r\n");
    ResDefineCommand& profile = m_run.m_ResDefineCommand;
    int configuredKitType = ITKTYPE_VTP;
    ReadProfileFromConfiguration(&configuredKitType);

    if (IsDeviceLibraryMissing()) {
        Warn(L"STR_STRING_ERROR_CANNOT_FIND_SCSIDLL");
        return FALSE;
    }
    profile.strDrive = DeviceDrive(m_run);

    bool refusedUser = false; // the EMP route sends no query: it counts as not refused
    if (profile.nDriverType == DRIVERTYPE_EMP)
        profile.dwSCSIWaitTime = 3000; // an EMP device is not asked
    else if (!ReadPhoneSetting(configuredKitType, &refusedUser))
        return FALSE;
    ReadInstallationState();

    // A user who was refused the device has no rights to deploy the service either.
    if (MayUseCommandService(configuredKitType) && !refusedUser) {
        Trace(L"Start : [CPlugstartDlg::CheckSystem() : IsRunService()]");
        m_run.m_bDeploySVC = (!m_SVC.IsRunService() || m_service.IsRequireUpdateSVC() == TRUE) ? TRUE : FALSE;
    }
    Trace(plug::FormatString(L"m_ResDefineCommand.bRequireUpDrv = %d\nm_ResDefineCommand.bRequireUpITK = %d\n"
                             L"m_ResDefineCommand.bInstalledDrv = %d\nm_ResDefineCommand.bInstalledITK = %d\n"
                             L"--------------------------------------\n",
                             profile.bRequireUpDrv, profile.bRequireUpITK, profile.bInstalledDrv,
                             profile.bInstalledITK));
    Trace(L"End : [CPlugstartDlg::CheckSystem()]\r\n");
    return TRUE;
}

void CPlugstartRun::ReadProfileFromConfiguration(int* configuredKitType)
{
    HWND owner = m_host.MessageOwner();
    ResDefineCommand& profile = m_run.m_ResDefineCommand;
    m_run.m_bFullInstall = plug::EqualsNoCase(plug::GetConfigValue(owner, L"INSTALL", L"install_type"), L"0") ? FALSE
                                                                                                              : TRUE;
    profile.nDriverType = DriverTypeFromText(plug::GetConfigValue(owner, L"DRIVER", L"driver_type"));
    profile.nITKType = KitTypeFromText(plug::GetConfigValue(owner, L"ITK", L"itk_type"));
    *configuredKitType = profile.nITKType; // the device's answer may change the kit type
    profile.strDrvSetupFilename = plug::GetConfigValue(owner, L"DRIVER", L"driver_name");
    profile.strITKSetupFinename = plug::GetConfigValue(owner, L"ITK", L"itk_setup");
    profile.strITKFilename = plug::GetConfigValue(owner, L"ITK", L"itk_run_file");
}

BOOL CPlugstartRun::ReadPhoneSetting(int configuredKitType, bool* refusedUser)
{
    uint8_t reply[3] = {0, 0, 0};
    const int direct = QueryPhoneSetting(reply);
    *refusedUser = direct == FAIL_TO_OPEN_DRIVE_ACCESS_DENIED;
    if (*refusedUser) {
        std::optional<int> served = QueryPhoneSettingThroughService(configuredKitType, reply);
        if (!served)
            return FALSE;
        plug::ApplyPhoneSettingReply(*served, reply, m_run.m_ResDefineCommand);
        return TRUE;
    }
    if (direct < 0) {
        Warn(plug::PhoneQueryFailureKey(direct));
        return FALSE;
    }
    plug::ApplyPhoneSettingReply(direct, reply, m_run.m_ResDefineCommand);
    return TRUE;
}

int CPlugstartRun::QueryPhoneSetting(uint8_t (&reply)[3])
{
    std::memset(reply, 0, sizeof(reply));
    const std::wstring& drive = m_run.m_ResDefineCommand.strDrive;
    int result = plug::CallDevpoke(drive.empty() ? 0 : drive[0], devpoke::kPhoneSettingCommand,
                                   devpoke::kPhoneSettingParameter, reply, devpoke::kPhoneSettingLength);
    Trace(L"Get Phone Info : [SCSI Commnad Send]\r\n");
    return result;
}

// A user without rights before Vista: the command service asks the device instead, but only
// when nothing has to be installed, since the installation needs the rights anyway.
std::optional<int> CPlugstartRun::QueryPhoneSettingThroughService(int configuredKitType, uint8_t (&reply)[3])
{
    if (!MayUseCommandService(configuredKitType)) {
        Warn(L"STR_STRING_NON_ADMIN_NOTI");
        return std::nullopt;
    }
    ReadInstallationState();
    const ResDefineCommand& profile = m_run.m_ResDefineCommand;
    BOOL running = m_SVC.IsRunService();
    BOOL outdated = m_service.IsRequireUpdateSVC();
    if (profile.bRequireUpDrv == 1 || profile.bRequireUpITK == 1 || profile.bInstalledDrv == 0 ||
        profile.bInstalledITK == 0 || running == 0 || outdated == 1) {
        Trace(plug::FormatString(L"bRequireUpDrv=%d\nbRequireUpITK=%d\nbInstalledDrv=%d\nbInstalledITK=%d\n"
                                 L"bIsRunSVC=%d , bIsRequireUpdateSVC=%d\r\n",
                                 profile.bRequireUpDrv, profile.bRequireUpITK, profile.bInstalledDrv,
                                 profile.bInstalledITK, running, outdated));
        Warn(L"STR_STRING_ERROR_SCSI_3_0");
        return std::nullopt;
    }
    std::optional<ServiceAnswer> answer = m_service.ServiceControl(USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO);
    if (!answer) {
        Warn(L"STR_STRING_ERROR_SCSI_3_1");
        return std::nullopt;
    }
    std::memcpy(reply, answer->byData, sizeof(reply));
    std::wstring failure = plug::ScsiFailureKey(answer->nResult, plug::CommandSender::Service,
                                                plug::VendorCommand::PhoneSettingQuery);
    if (!failure.empty()) {
        Warn(failure);
        return std::nullopt;
    }
    return answer->nResult; // any other value is an answer, -20 from the service included
}

void CPlugstartRun::ReadInstallationState()
{
    ResDefineCommand& profile = m_run.m_ResDefineCommand;
    profile.bRequireUpDrv = m_detect.IsRequireUpDrv(profile.nDriverType);
    profile.bRequireUpITK = m_detect.IsRequireUpITK(profile.nITKType);
    profile.bInstalledDrv = m_detect.IsInstalledDriver(profile.nDriverType);
    profile.bInstalledITK = m_detect.IsInstalledITK(profile.nITKType);
}

void CPlugstartRun::Warn(const std::wstring& key)
{
    plug::ShowLanguageMessage(m_host.MessageOwner(), key, MB_ICONEXCLAMATION | MB_OK);
}

void CPlugstartRun::WarnText(const std::wstring& text)
{
    plug::ShowTitledMessage(m_host.MessageOwner(), text, MB_ICONEXCLAMATION | MB_OK);
}

bool CPlugstartRun::IsJapaneseLanguage() const { return plug::IsJapaneseLanguageFile(m_run.m_strLangFile); }

bool CPlugstartRun::IsDeviceLibraryMissing() const
{
    return m_run.m_strArgument.empty() && !plug::IsExistFile(plug::GetModuleDirectory() + L"Devpoke.dll");
}

bool CPlugstartRun::MayUseCommandService(int kitType) const { return kitType == ITKTYPE_VTP && !m_run.m_bVistaOS; }
