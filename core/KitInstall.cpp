// The connection software ("kit"): its setup from the device, the lookup of its installed
// program, and the program's start.
#include "PlugstartRun.h"

#include "config/ModulePath.h"
#include "config/RelativeName.h"
#include "config/SystemFolders.h"
#include "detect/InstallPaths.h"
#include "framework/StringFormat.h"
#include "registry/RegAccess.h"

using namespace plug::detect;

namespace {

// A program name from the configuration that may be started: it names an executable and stays
// inside the folder it is joined to.
bool IsUsableProgramName(const std::wstring& name)
{
    return !name.empty() && name.find(L".exe") != std::wstring::npos && plug::IsContainedRelativeName(name);
}

} // namespace

BOOL CPlugstartRun::InstallITK()
{
    Trace(L"Start : [CPlugstartDlg::InstallITK()]\r\n");
    const ResDefineCommand& profile = m_run.m_ResDefineCommand;
    if (profile.strITKSetupFinename.empty()) {
        Warn(L"STR_STRING_ERROR_ITK_FILENAME_EMPTY");
        return FALSE;
    }
    std::wstring setup = plug::GetModuleDirectory() + profile.strITKSetupFinename;
    Trace(plug::FormatString(L"InstallITK() File Full Path = %ls", setup.c_str()));
    if (plug::IsContainedRelativeName(profile.strITKSetupFinename)) {
        RunAndWait(setup, SW_SHOWNORMAL, &m_run.m_bInstallingITK);
    } else {
        // A setup outside the program's folder is treated as missing: nothing starts.
        Trace(L"[InstallITK()] setup name leaves the program folder\r\n");
    }
    m_run.m_bInstallingITK = FALSE;
    m_host.RepaintStatus();

    m_host.PostBringToFront();
    if (!m_detect.IsInstalledITK(profile.nITKType)) {
        Trace(L"[InstallITK()  IsInstalledITK(m_ResDefineCommand.nITKType) == FALSE] return code : FALSE\r\n");
        return FALSE;
    }
    return TRUE;
}

BOOL CPlugstartRun::CheckITKProgram(int nITKType)
{
    std::wstring programFiles;
    if (!plug::GetProgramFilesFolder(programFiles))
        return FALSE;
    const std::wstring& name = m_run.m_ResDefineCommand.strITKFilename;
    CRegAccess registry;
    std::wstring path;
    switch (nITKType) {
    case ITKTYPE_VTP:
        if (!IsProductRegistered(kVtpKitCode)) {
            Trace(L"[CheckITKProgram()] ITKTYPE_VTP : ITK Reg not registered.\r\n");
            return FALSE;
        }
        if (!IsUsableProgramName(name)) {
            Trace(L"[CheckITKProgram()] ITKTYPE_VTP : Registry value is empty.\r\n");
            return FALSE;
        }
        path = VtpKitFolder(programFiles) + name;
        break;
    case ITKTYPE_NorvoITK:
        if (!IsProductRegistered(kNorvoKitCode)) {
            Trace(L"[CheckITKProgram()] ITKTYPE_NorvoITK : ITK Reg not registered.\r\n");
            return FALSE;
        }
        if (!IsUsableProgramName(name)) {
            Trace(L"[CheckITKProgram()] ITKTYPE_NorvoITK : config.ini itk_run_file value is empty.\r\n");
            return FALSE;
        }
        path = NorvoKitFolder(programFiles) + name;
        break;
    case TYPE_PCSYNC:
        registry.GetUserString(kPcSuiteKey, kPcSuiteInstallPathValue, path);
        if (path.empty()) {
            Trace(L"[CheckITKProgram()] TYPE_PCSYNC : Registry value is empty.\r\n");
            return FALSE;
        }
        break;
    case TYPE_CM_DCM:
        if (!registry.GetUserString(kConnectionManagerKey, kConnectionManagerPathValue, path) || path.empty() ||
            !plug::IsContainedRelativeName(name)) {
            Trace(L"[CheckITKProgram()] TYPE_CM_DCM : Registry value is empty.\r\n");
            return FALSE;
        }
        path = WithTrailingBackslash(path) + name;
        break;
    default:
        break; // no program for an unknown kit type
    }
    if (plug::IsExistFile(path) != TRUE) {
        Trace(plug::FormatString(L"[CheckITKProgram()] File not found : %ls\r\n", path.c_str()));
        return FALSE;
    }
    m_run.m_strITKRunPath = path;
    return TRUE;
}

BOOL CPlugstartRun::RunITK(std::wstring strFile)
{
    const wchar_t* arguments = m_run.m_ResDefineCommand.nITKType == ITKTYPE_NorvoITK ? L"-aik" : L"";
    if (!strFile.empty())
        m_host.LaunchProgram(strFile, arguments);
    return TRUE;
}
