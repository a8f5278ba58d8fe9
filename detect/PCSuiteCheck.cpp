// Whether a PC suite application of the maker is running.
#include "workflow/PlugstartDlg.h"

#include "config/ModulePath.h"
#include "detect/InstallPaths.h"
#include "framework/StringFormat.h"
#include "registry/RegAccess.h"
#include "service/ProcessLookup.h"

using namespace plug::detect;

namespace {
const wchar_t kSuiteThreeKey[] = L"Norvo Electronics Inc\\Norvo PC Suite III";
const wchar_t kSyncwellKey[] = L"Norvo Electronics Inc\\3G Syncwell 2.0";
const wchar_t kSuiteTwoKey[] = L"Norvo PC Suite2";

// value of key (under the user's "SOFTWARE\") or, when that is empty, fallbackFormat with the
// Program Files folder; false when the folder is needed and cannot be had.
bool UserPathOrDefault(const wchar_t* key, const wchar_t* fallbackFormat, std::wstring& path)
{
    CRegAccess registry;
    path.clear();
    registry.GetUserString(key, L"InstallPath", path);
    if (!path.empty())
        return true;
    std::wstring programFiles;
    if (!GetProgramFilesFolder(programFiles))
        return false;
    path = plug::FormatString(fallbackFormat, programFiles.c_str());
    return true;
}
} // namespace

BOOL CPlugstartDlg::TechFindProcess(LPCTSTR sProcessName) { return plug::TechFindProcess(sProcessName); }

BOOL CPlugstartDlg::IsRunPCSuiteApp()
{
    CRegAccess registry;
    std::wstring path;
    if (!UserPathOrDefault(kSuiteThreeKey, L"%ls\\Norvo Electronics\\Norvo PC Suite III\\Norvo_PCSuiteIII.exe", path))
        return FALSE;
    if (plug::IsExistFile(path) == TRUE && TechFindProcess(path.c_str()))
        return TRUE;

    // The suite's own flag that it runs: the string "1" or the DWORD 1.
    if (!registry.KeyExists(REGROOT_CURRENT_USER, std::wstring(L"Software\\") + kSuiteThreeKey))
        return FALSE;
    std::wstring runningText;
    if (registry.GetUserString(kSuiteThreeKey, L"Running", runningText) && runningText == L"1")
        return TRUE;
    DWORD running = 0;
    registry.GetUserDWORD(kSuiteThreeKey, L"Running", running);
    if (running == 1)
        return TRUE;

    // The earlier suites: any process started from their folders.
    if (!UserPathOrDefault(kSyncwellKey, L"%ls\\Norvo PC Suite II", path))
        return FALSE;
    if (!path.empty() && TechFindProcess(path.c_str()))
        return TRUE;
    std::wstring basePath;
    registry.GetMachineString(kSuiteTwoKey, L"BasePath", basePath);
    if (!basePath.empty() && TechFindProcess(basePath.c_str()))
        return TRUE;
    return FALSE;
}
