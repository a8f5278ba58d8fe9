// Deployment of the command service: whether the system folder holds an older service than the
// one shipped in "tools\", and the copy and installation of its files. Used before Vista only.
#include "ServiceBridge.h"

#include "ServiceIdentity.h"
#include "ServiceVersionText.h"
#include "config/ConfigFile.h"
#include "config/ConfigText.h"
#include "config/ModulePath.h"
#include "config/RelativeName.h"
#include "config/SystemFolders.h"
#include "version/FileVersion.h"
#include "version/VersionText.h"
#include "framework/StringFormat.h"

using namespace plug;

BOOL CServiceBridge::IsRequireUpdateSVC()
{
    if (m_run.m_bVistaOS)
        return FALSE;
    std::wstring systemFolder;
    if (!GetSystemFolder(systemFolder))
        return TRUE;
    std::wstring installed = FormatString(L"%ls\\%ls", systemFolder.c_str(), kServiceExecutableName);
    if (!IsExistFile(installed)) {
        Trace(FormatString(L"Old Service file not found : %ls", installed.c_str()));
        return TRUE;
    }
    std::wstring shipped = GetModuleDirectory() + L"tools\\" + kServiceExecutableName;
    return IsNewerVersion(NormalizeServiceVersionText(GetFileVersionText(installed)),
                          NormalizeServiceVersionText(GetFileVersionText(shipped)))
               ? TRUE
               : FALSE;
}

BOOL CServiceBridge::InitService()
{
    Trace(L"Start : [CPlugstartDlg::InitService()]");
    m_SVC.UnInstallService(); // also on Vista and later, where nothing else is done
    if (m_run.m_bVistaOS) {
        Trace(L"[if(pApp->m_bVistaOS == TRUE)] return code : TRUE");
        return TRUE;
    }
    int fileCount = LeadingDigitsToInt(GetConfigValue(nullptr, L"SERVICE", L"filecount"));
    std::wstring systemFolder;
    if (!GetSystemFolder(systemFolder))
        return FALSE;

    std::wstring servicePath;
    for (int index = 0; index < fileCount; ++index) {
        std::wstring name = GetConfigValue(nullptr, L"SERVICE", FormatString(L"file%02d", index));
        // What is copied here runs as a LocalSystem service: only files of the program's folder.
        if (!IsContainedRelativeName(name)) {
            Trace(FormatString(L"[CPlugstartDlg::InitService()] file name leaves the program folder : %ls",
                               name.c_str()));
            return FALSE;
        }
        std::wstring source = GetModuleDirectory() + name;
        std::wstring target = systemFolder + L"\\" + source.substr(source.rfind(L'\\') + 1);
        ClearReadOnly(target);
        if (!::CopyFileW(source.c_str(), target.c_str(), FALSE)) {
            Trace(FormatString(L"[CPlugstartDlg::InitService()] CopyFile Result Failed...\n===>(Source : %ls), "
                               L"(Target : %ls)",
                               source.c_str(), target.c_str()));
        }
        if (!IsExistFile(target)) {
            Trace(
                FormatString(L"[CPlugstartDlg::InitService()] CopyFile Result : No Exist File : %ls", target.c_str()));
            return FALSE; // files already copied stay
        }
        ClearReadOnly(target);
        if (NamesServiceExecutable(target))
            servicePath = target;
    }

    Trace(L"Start : [CPlugstartDlg::InitService() : m_SVC.InstallService]");
    m_SVC.InstallService(servicePath.c_str()); // it tells the user itself when it fails
    Trace(L"End : [CPlugstartDlg::InitService() : m_SVC.InstallService]");
    Trace(L"End : [CPlugstartDlg::InitService()]");
    return TRUE;
}
