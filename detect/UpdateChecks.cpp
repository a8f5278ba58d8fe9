// Whether the driver or kit on the CD is newer than the one installed. When the installed
// version cannot be found out, an update is needed.
#include "detect/Detector.h"

#include "config/ConfigFile.h"
#include "config/ModulePath.h"
#include "version/FileVersion.h"
#include "detect/InstallPaths.h"
#include "version/VersionText.h"
#include "framework/StringFormat.h"
#include "registry/RegAccess.h"

using namespace plug::detect;

namespace {
const wchar_t kUpdateTrace32[] = L"[IsRequireUpITK : HaveRegistered 32bit] return code : FALSE\r\n";
const wchar_t kUpdateTrace64[] = L"[IsRequireUpITK : HaveRegistered 64bit] return code : FALSE\r\n";
} // namespace

BOOL CDetector::IsRequireUpDrv(int nDrvType)
{
    Trace(L"Start : [CPlugstartDlg::IsRequireUpDrv(int nDrvType)]\r\n");
    std::wstring shippedVersion = plug::GetConfigValue(Owner(), L"DRIVER", L"driver_version");
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

BOOL CDetector::IsShippedNewerThanFile(const std::wstring& strFile, const std::wstring& strShippedVersion)
{
    if (plug::IsExistFile(strFile) != TRUE)
        return TRUE;
    return plug::IsNewerVersion(plug::GetFileVersionText(strFile), strShippedVersion) ? TRUE : FALSE;
}

BOOL CDetector::IsRequireUpQctDriver(const std::wstring& strShippedVersion)
{
    m_run.m_bDrvPackageRegistered = IsQctDriversEditionRegistered() ? TRUE : FALSE;

    if (m_run.m_bDrvPackageRegistered) {
        CRegAccess registry;
        std::wstring installedVersion;
        if ((registry.GetMachineString(UninstallSubKey(kQctDriversCode, UninstallView::Native), L"DisplayVersion",
                                       installedVersion) ||
             registry.GetMachineString(UninstallSubKey(kQctDriversCode, UninstallView::Wow), L"DisplayVersion",
                                       installedVersion) ||
             registry.GetMachineString(UninstallSubKey(kQctDriversSecondCode, UninstallView::Native), L"DisplayVersion",
                                       installedVersion)) &&
            !installedVersion.empty())
            return IsNewVersionTraced(L"IsRequireUpDrv", L"End : [CPlugstartDlg::IsRequireUpDrv(int nDrvType)]\r\n",
                                      installedVersion, strShippedVersion);
    }

    // No version in the registry: the bus driver file of the package folder tells it.
    std::wstring programFiles;
    if (!plug::GetProgramFilesFolder(programFiles))
        return TRUE;
    std::wstring folder = plug::FormatString(L"%ls\\Norvo Electronics\\%ls", programFiles.c_str(),
                                             m_run.m_bDrvPackageRegistered ? kQctDriversEditionFolder
                                                                           : kQctDriverEditionFolder);
    const DriverFilePair& bus = kQctDriverFiles[0];
    std::wstring busFile = plug::FormatString(L"%ls\\%ls", folder.c_str(), bus.first);
    if (plug::IsExistFile(busFile) != TRUE)
        busFile = plug::FormatString(L"%ls\\%ls", folder.c_str(), bus.second);
    return IsShippedNewerThanFile(busFile, strShippedVersion);
}

BOOL CDetector::IsRequireUpEmpDriver(const std::wstring& strShippedVersion)
{
    std::wstring folder;
    if (!GetEmpPackageFolder(Is64BitWindows(m_run.m_nWow64), folder))
        return TRUE;
    return IsShippedNewerThanFile(plug::FormatString(L"%ls\\%ls", folder.c_str(), L"norvomdbus.sys"),
                                  strShippedVersion);
}

BOOL CDetector::IsRequireUpK21cDriver(const std::wstring& strShippedVersion)
{
    std::wstring folder = K21cPackageFolder(L"[IsRequireUpDrv()] DRIVERTYPE_FOMA_K21C : Registry value is empty.\r\n");
    if (folder.empty())
        return TRUE;
    return IsShippedNewerThanFile(folder + L"K21cmdm.sys", strShippedVersion);
}

BOOL CDetector::IsRequireUpITK(int nITKType)
{
    Trace(L"Start : [CPlugstartDlg::IsRequireUpITK(int nITKType)]\r\n");
    if (!m_run.m_bFullInstall)
        return FALSE; // driver-only mode installs no kit
    std::wstring shippedVersion = plug::GetConfigValue(Owner(), L"ITK", L"itk_version");
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

BOOL CDetector::IsRequireUpVtpKit(const std::wstring& strShippedVersion)
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

BOOL CDetector::IsRequireUpNorvoKit(const std::wstring& strShippedVersion)
{
    if (!IsKitRegistered(kNorvoKitCode, kUpdateTrace32, kUpdateTrace64))
        return TRUE;
    std::wstring programFiles;
    if (!plug::GetProgramFilesFolder(programFiles))
        return TRUE;
    return IsShippedNewerThanFile(NorvoKitFolder(programFiles) + kNorvoKitProgram, strShippedVersion);
}

BOOL CDetector::IsRequireUpConnectionManager(const std::wstring& strShippedVersion)
{
    std::wstring program;
    switch (ReadConnectionManagerProgram(m_run.m_ResDefineCommand.strITKFilename, program)) {
    case ManagerProgramRead::Found:
        return IsShippedNewerThanFile(program, strShippedVersion);
    case ManagerProgramRead::EmptyFolder:
        Trace(L"[IsRequireUpITK()] TYPE_CM_DCM : Registry value is empty.\r\n");
        return TRUE;
    case ManagerProgramRead::NameLeavesFolder:
        Trace(L"[IsRequireUpITK()] TYPE_CM_DCM : program name leaves its folder.\r\n");
        return TRUE; // treated as a missing program
    default:         // unreadable
        return TRUE;
    }
}

BOOL CDetector::IsNewVersionTraced(const wchar_t* strCheck, const wchar_t* strEndTrace,
                                   const std::wstring& strInstalledVersion, const std::wstring& strShippedVersion)
{
    Trace(plug::FormatString(L"%ls : old=%ls, new=%ls", strCheck, strInstalledVersion.c_str(),
                             strShippedVersion.c_str()));
    BOOL newer = plug::IsNewerVersion(strInstalledVersion, strShippedVersion) ? TRUE : FALSE;
    Trace(plug::FormatString(L"[%ls : IsNewVersion] return code : %ls\r\n", strCheck, newer ? L"TRUE" : L"FALSE"));
    Trace(strEndTrace);
    return newer;
}
