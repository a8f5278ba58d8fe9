// Whether the connection software ("kit") of a type is installed.
#include "detect/Detector.h"

#include "config/ModulePath.h"
#include "detect/InstallPaths.h"
#include "framework/StringFormat.h"
#include "registry/RegAccess.h"

using namespace plug::detect;

namespace {
const wchar_t kInstalledTrace32[] = L"[IsInstalledITK() HaveRegistered : 32Bit] return code : FALSE\r\n";
const wchar_t kInstalledTrace64[] = L"[IsInstalledITK() HaveRegistered : 64Bit] return code : FALSE\r\n";
} // namespace

BOOL CDetector::IsInstalledITK(int nITKType)
{
    Trace(L"Start : [CPlugstartDlg::IsInstalledITK(int nITKType)]\r\n");
    if (!m_run.m_bFullInstall)
        return TRUE; // driver-only mode installs no kit
    BOOL installed = TRUE;
    switch (nITKType) {
    case ITKTYPE_VTP:
        installed = IsKitRegistered(kVtpKitCode, kInstalledTrace32, kInstalledTrace64);
        break;
    case ITKTYPE_NorvoITK:
        installed = IsKitRegistered(kNorvoKitCode, kInstalledTrace32, kInstalledTrace64) && IsNorvoKitFilePresent();
        break;
    case TYPE_PCSYNC:
        installed = IsPcSuiteInstalled();
        break;
    case TYPE_CM_DCM:
        installed = IsConnectionManagerInstalled();
        break;
    default:
        break;
    }
    if (installed)
        Trace(L"End : [CPlugstartDlg::IsInstalledITK(int nITKType)]\r\n");
    return installed;
}

BOOL CDetector::IsKitRegistered(const wchar_t* productCode, const wchar_t* strNativeMissingTrace,
                                const wchar_t* strWowMissingTrace)
{
    if (UninstallKeyExists(productCode, UninstallView::Native))
        return TRUE;
    Trace(strNativeMissingTrace);
    if (UninstallKeyExists(productCode, UninstallView::Wow))
        return TRUE;
    Trace(strWowMissingTrace);
    return FALSE;
}

BOOL CDetector::IsNorvoKitFilePresent()
{
    std::wstring programFiles;
    if (!plug::GetProgramFilesFolder(programFiles)) {
        Trace(L"[IsInstalledITK() SHGetSpecialFolderPath] return code : FALSE\r\n");
        return FALSE;
    }
    if (plug::IsExistFile(NorvoKitFolder(programFiles) + kNorvoKitProgram) != TRUE) {
        Trace(L"[IsInstalledITK() File not Found] NorvoInternetKit.exe\r\n");
        return FALSE;
    }
    return TRUE;
}

BOOL CDetector::IsPcSuiteInstalled()
{
    const wchar_t* label = L"TYPE_PCSYNC";
    if (!IsUserKitKeyThere(label, kPcSuiteKey))
        return FALSE;
    std::wstring program = ReadInstallPath(kPcSuiteKey);
    if (program.empty()) {
        Trace(plug::FormatString(L"[IsInstalledITK()] %ls : Registry value is empty.\r\n", label));
        return FALSE;
    }
    return IsUserKitProgramThere(label, program);
}

BOOL CDetector::IsConnectionManagerInstalled()
{
    const wchar_t* label = L"TYPE_CM_DCM";
    if (!IsUserKitKeyThere(label, kConnectionManagerKey))
        return FALSE;
    const std::wstring& name = m_run.m_ResDefineCommand.strITKFilename;
    std::wstring program;
    switch (ReadConnectionManagerProgram(name, program)) {
    case ManagerProgramRead::Found:
        return IsUserKitProgramThere(label, program);
    case ManagerProgramRead::NameLeavesFolder:
        Trace(plug::FormatString(L"[IsInstalledITK()] %ls : program name leaves its folder : %ls\r\n", label,
                                 name.c_str()));
        return FALSE;
    default: // no folder
        Trace(plug::FormatString(L"[IsInstalledITK()] %ls : Registry value is empty.\r\n", label));
        return FALSE;
    }
}

BOOL CDetector::IsUserKitKeyThere(const wchar_t* strKitLabel, const wchar_t* strKey)
{
    CRegAccess registry;
    if (registry.KeyExists(REGROOT_CURRENT_USER, std::wstring(L"SOFTWARE\\") + strKey))
        return TRUE;
    Trace(plug::FormatString(L"[IsInstalledITK()] %ls : Registry is not found.\r\n", strKitLabel));
    return FALSE;
}

BOOL CDetector::IsUserKitProgramThere(const wchar_t* strKitLabel, const std::wstring& strProgram)
{
    if (plug::IsExistFile(strProgram) == TRUE)
        return TRUE;
    Trace(plug::FormatString(L"[IsInstalledITK()] %ls : File not found.\r\n Find file name = %ls", strKitLabel,
                             strProgram.c_str()));
    return FALSE;
}
