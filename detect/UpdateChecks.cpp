// Whether the driver or kit on the CD is newer than the one installed. When the installed
// version cannot be found out, an update is needed.
#include "workflow/PlugstartDlg.h"

#include "config/ConfigFile.h"
#include "config/ModulePath.h"
#include "detect/InstallPaths.h"
#include "detect/VersionText.h"
#include "framework/StringFormat.h"
#include "registry/RegAccess.h"

using namespace plug::detect;

namespace {
const wchar_t kUpdateTrace32[] = L"[IsRequireUpITK : HaveRegistered 32bit] return code : FALSE\r\n";
const wchar_t kUpdateTrace64[] = L"[IsRequireUpITK : HaveRegistered 64bit] return code : FALSE\r\n";
} // namespace

BOOL CPlugstartDlg::IsNewVersion(const std::wstring& strOldVersion, const std::wstring& strNewVersion)
{
    return plug::IsNewerVersion(strOldVersion, strNewVersion) ? TRUE : FALSE;
}

BOOL CPlugstartDlg::IsRequireUpDrv(int nDrvType)
{
    Trace(L"Start : [CPlugstartDlg::IsRequireUpDrv(int nDrvType)]\r\n");
    std::wstring shippedVersion = plug::GetConfigValue(m_hWnd, L"DRIVER", L"driver_version");
    switch (nDrvType) {
    case DRIVERTYPE_QCT:
        return IsRequireUpQctDriver(shippedVersion);
    case DRIVERTYPE_EMP:
        return IsRequireUpEmpDriver(shippedVersion);
    case DRIVERTYPE_FOMA_K21C:
        return IsRequireUpK21cDriver(shippedVersion);
    default:
        return FALSE;
    }
}

BOOL CPlugstartDlg::IsShippedNewerThanFile(const std::wstring& strFile, const std::wstring& strShippedVersion)
{
    if (plug::IsExistFile(strFile) != TRUE)
        return TRUE;
    return IsNewVersion(GetFileVersion(strFile), strShippedVersion);
}

BOOL CPlugstartDlg::IsRequireUpQctDriver(const std::wstring& strShippedVersion)
{
    m_bDrvPackageRegistered = FALSE;
    if (UninstallKeyExists(kQctDriversCode, UninstallView::Native) ||
        UninstallKeyExists(kQctDriversCode, UninstallView::Wow) ||
        UninstallKeyExists(kQctDriversSecondCode, UninstallView::Native))
        m_bDrvPackageRegistered = TRUE;

    if (m_bDrvPackageRegistered) {
        CRegAccess registry;
        std::wstring installedVersion;
        if ((registry.GetMachineString(UninstallSubKey(kQctDriversCode, UninstallView::Native), L"DisplayVersion",
                                       installedVersion) ||
             registry.GetMachineString(UninstallSubKey(kQctDriversCode, UninstallView::Wow), L"DisplayVersion",
                                       installedVersion) ||
             registry.GetMachineString(UninstallSubKey(kQctDriversSecondCode, UninstallView::Native),
                                       L"DisplayVersion", installedVersion)) &&
            !installedVersion.empty())
            return IsNewVersionTraced(L"IsRequireUpDrv", L"End : [CPlugstartDlg::IsRequireUpDrv(int nDrvType)]\r\n",
                                      installedVersion, strShippedVersion);
    }

    // No version in the registry: the bus driver file of the package folder tells it.
    std::wstring programFiles;
    if (!GetProgramFilesFolder(programFiles))
        return TRUE;
    std::wstring folder = plug::FormatString(m_bDrvPackageRegistered
                                                 ? L"%ls\\Norvo Electronics\\Norvo USB Modem Drivers"
                                                 : L"%ls\\Norvo Electronics\\Norvo USB Modem Driver",
                                             programFiles.c_str());
    std::wstring busFile = plug::FormatString(L"%ls\\%ls", folder.c_str(), L"norvousbbus.sys");
    if (plug::IsExistFile(busFile) != TRUE)
        busFile = plug::FormatString(L"%ls\\%ls", folder.c_str(), L"norvox64bus.sys");
    return IsShippedNewerThanFile(busFile, strShippedVersion);
}

BOOL CPlugstartDlg::IsRequireUpEmpDriver(const std::wstring& strShippedVersion)
{
    std::wstring folder;
    if (!GetEmpPackageFolder(Is64BitWindows(m_nWow64), folder))
        return TRUE;
    return IsShippedNewerThanFile(plug::FormatString(L"%ls\\%ls", folder.c_str(), L"norvomdbus.sys"), strShippedVersion);
}

BOOL CPlugstartDlg::IsRequireUpK21cDriver(const std::wstring& strShippedVersion)
{
    std::wstring location;
    if (!ReadK21cInstallLocation(location))
        return TRUE;
    if (location.empty()) {
        Trace(L"[IsRequireUpDrv()] DRIVERTYPE_FOMA_K21C : Registry value is empty.\r\n");
        return TRUE;
    }
    std::wstring file = plug::FormatString(L"%ls%ls", WithTrailingBackslash(location).c_str(), L"K21cmdm.sys");
    return IsShippedNewerThanFile(file, strShippedVersion);
}

BOOL CPlugstartDlg::IsRequireUpITK(int nITKType)
{
    Trace(L"Start : [CPlugstartDlg::IsRequireUpITK(int nITKType)]\r\n");
    if (!m_bFullInstall)
        return FALSE; // driver-only mode installs no kit
    std::wstring shippedVersion = plug::GetConfigValue(m_hWnd, L"ITK", L"itk_version");
    switch (nITKType) {
    case ITKTYPE_VTP:
        return IsRequireUpVtpKit(shippedVersion);
    case ITKTYPE_NorvoITK:
        return IsRequireUpNorvoKit(shippedVersion);
    case TYPE_CM_DCM:
        return IsRequireUpConnectionManager(shippedVersion);
    default:
        return FALSE; // TYPE_PCSYNC and unknown types have no version test
    }
}

BOOL CPlugstartDlg::IsRequireUpVtpKit(const std::wstring& strShippedVersion)
{
    if (!IsKitRegistered(kVtpKitCode, kUpdateTrace32, kUpdateTrace64))
        return TRUE;
    CRegAccess registry;
    std::wstring installedVersion;
    if (!registry.GetMachineString(UninstallSubKey(kVtpKitCode, UninstallView::Native), L"DisplayVersion",
                                   installedVersion)) {
        Trace(L"[IsRequireUpITK : GetMachineEntry 32bit] return code : FALSE\r\n");
        if (!registry.GetMachineString(UninstallSubKey(kVtpKitCode, UninstallView::Wow), L"DisplayVersion",
                                       installedVersion)) {
            Trace(L"[IsRequireUpITK : GetMachineEntry 64bit] return code : FALSE\r\n");
            return TRUE;
        }
    }
    return IsNewVersionTraced(L"IsRequireUpITK", L"End : [CPlugstartDlg::IsRequireUpITK(int nITKType)]\r\n",
                              installedVersion, strShippedVersion);
}

BOOL CPlugstartDlg::IsRequireUpNorvoKit(const std::wstring& strShippedVersion)
{
    if (!IsKitRegistered(kNorvoKitCode, kUpdateTrace32, kUpdateTrace64))
        return TRUE;
    std::wstring programFiles;
    if (!GetProgramFilesFolder(programFiles))
        return TRUE;
    std::wstring folder = plug::FormatString(L"%ls\\NorvoInternetKit\\", programFiles.c_str());
    return IsShippedNewerThanFile(plug::FormatString(L"%ls%ls", folder.c_str(), L"NorvoInternetKit.exe"),
                           strShippedVersion);
}

BOOL CPlugstartDlg::IsRequireUpConnectionManager(const std::wstring& strShippedVersion)
{
    CRegAccess registry;
    std::wstring installPath;
    if (!registry.GetUserString(L"K-21C-ConnectionManager", L"CM_Install_path", installPath))
        return TRUE;
    if (installPath.empty()) {
        Trace(L"[IsRequireUpITK()] TYPE_CM_DCM : Registry value is empty.\r\n");
        return TRUE;
    }
    return IsShippedNewerThanFile(WithTrailingBackslash(installPath) + m_ResDefineCommand.strITKFilename,
                           strShippedVersion);
}

BOOL CPlugstartDlg::IsNewVersionTraced(const wchar_t* strCheck, const wchar_t* strEndTrace,
                                       const std::wstring& strInstalledVersion, const std::wstring& strShippedVersion)
{
    Trace(plug::FormatString(L"%ls : old=%ls, new=%ls", strCheck, strInstalledVersion.c_str(),
                             strShippedVersion.c_str()));
    BOOL newer = IsNewVersion(strInstalledVersion, strShippedVersion);
    Trace(plug::FormatString(L"[%ls : IsNewVersion] return code : %ls\r\n", strCheck, newer ? L"TRUE" : L"FALSE"));
    Trace(strEndTrace);
    return newer;
}
