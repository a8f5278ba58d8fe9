// The connection software ("kit"): its setup from the device and the start of its program.
#include "PlugstartRun.h"

#include "config/ModulePath.h"
#include "config/RelativeName.h"
#include "framework/StringFormat.h"

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
    if (!plug::IsContainedRelativeName(profile.strITKSetupFinename)) {
        // A setup outside the program's folder is treated as missing: nothing starts.
        Trace(L"[InstallITK()] setup name leaves the program folder\r\n");
        setup.clear();
    }
    // The kit's installation shows from the setup's start until it has ended.
    RunSetup(setup, m_run.m_bInstallingITK);

    if (!m_detect.IsInstalledITK(profile.nITKType)) {
        Trace(L"[InstallITK()  IsInstalledITK(m_ResDefineCommand.nITKType) == FALSE] return code : FALSE\r\n");
        return FALSE;
    }
    return TRUE;
}

BOOL CPlugstartRun::RunITK(std::wstring strFile)
{
    const wchar_t* arguments = m_run.m_ResDefineCommand.nITKType == ITKTYPE_NorvoITK ? L"-aik" : L"";
    if (!strFile.empty())
        m_host.LaunchProgram(strFile, arguments);
    return TRUE;
}
