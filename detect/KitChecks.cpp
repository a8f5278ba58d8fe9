// Whether the connection software ("kit") of a type is installed.
#include "detect/Detector.h"

#include "config/ModulePath.h"
#include "config/RelativeName.h"
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
        installed = IsKitAtUserPath(L"TYPE_PCSYNC", kPcSuiteKey, kPcSuiteInstallPathValue, nullptr);
        break;
    case TYPE_CM_DCM:
        installed = IsKitAtUserPath(L"TYPE_CM_DCM", kConnectionManagerKey, kConnectionManagerPathValue,
                                    &m_run.m_ResDefineCommand.strITKFilename);
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

BOOL CDetector::IsKitAtUserPath(const wchar_t* strKitLabel, const wchar_t* strKey, const wchar_t* strValueName,
                                    const std::wstring* pFileInFolder)
{
    CRegAccess registry;
    if (!registry.KeyExists(REGROOT_CURRENT_USER, std::wstring(L"SOFTWARE\\") + strKey)) {
        Trace(plug::FormatString(L"[IsInstalledITK()] %ls : Registry is not found.\r\n", strKitLabel));
        return FALSE;
    }
    std::wstring installPath;
    registry.GetUserString(strKey, strValueName, installPath);
    if (installPath.empty()) {
        Trace(plug::FormatString(L"[IsInstalledITK()] %ls : Registry value is empty.\r\n", strKitLabel));
        return FALSE;
    }
    if (pFileInFolder && !plug::IsContainedRelativeName(*pFileInFolder)) {
        Trace(plug::FormatString(L"[IsInstalledITK()] %ls : program name leaves its folder : %ls\r\n", strKitLabel,
                                 pFileInFolder->c_str()));
        return FALSE;
    }
    std::wstring file = pFileInFolder ? WithTrailingBackslash(installPath) + *pFileInFolder : installPath;
    if (plug::IsExistFile(file) != TRUE) {
        Trace(plug::FormatString(L"[IsInstalledITK()] %ls : File not found.\r\n Find file name = %ls", strKitLabel,
                                 file.c_str()));
        return FALSE;
    }
    return TRUE;
}
