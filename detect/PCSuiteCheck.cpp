// Whether a PC suite application of the maker is running.
#include "detect/Detector.h"

#include "config/ModulePath.h"
#include "detect/InstallPaths.h"
#include "framework/StringFormat.h"
#include "registry/RegAccess.h"
#include "process/ProcessLookup.h"

using namespace plug::detect;

namespace {
const wchar_t kSyncwellKey[] = L"Norvo Electronics Inc\\3G Syncwell 2.0";
const wchar_t kSuiteTwoKey[] = L"Norvo PC Suite2";

// The "InstallPath" of key (under the user's "SOFTWARE\") or, when that is empty, fallbackFormat
// with the Program Files folder; false when the folder is needed and cannot be had.
bool UserPathOrDefault(const wchar_t* key, const wchar_t* fallbackFormat, std::wstring& path)
{
    path = ReadInstallPath(key);
    if (!path.empty())
        return true;
    std::wstring programFiles;
    if (!plug::GetProgramFilesFolder(programFiles))
        return false;
    path = plug::FormatString(fallbackFormat, programFiles.c_str());
    return true;
}
} // namespace

BOOL CDetector::IsRunPCSuiteApp()
{
    CRegAccess registry;
    std::wstring path;
    if (!UserPathOrDefault(kPcSuiteKey, L"%ls\\Norvo Electronics\\Norvo PC Suite III\\Norvo_PCSuiteIII.exe", path))
        return FALSE;
    if (plug::IsExistFile(path) == TRUE && plug::TechFindProcess(path.c_str()))
        return TRUE;

    // The suite's own flag that it runs: the string "1" or the DWORD 1.
    if (!registry.KeyExists(REGROOT_CURRENT_USER, std::wstring(L"Software\\") + kPcSuiteKey))
        return FALSE;
    std::wstring runningText;
    if (registry.GetUserString(kPcSuiteKey, L"Running", runningText) && runningText == L"1")
        return TRUE;
    DWORD running = 0;
    registry.GetUserDWORD(kPcSuiteKey, L"Running", running);
    if (running == 1)
        return TRUE;

    // The earlier suites: any process started from their folders.
    if (!UserPathOrDefault(kSyncwellKey, L"%ls\\Norvo PC Suite II", path))
        return FALSE;
    if (!path.empty() && plug::TechFindProcess(path.c_str()))
        return TRUE;
    std::wstring basePath;
    registry.GetMachineString(kSuiteTwoKey, L"BasePath", basePath);
    if (!basePath.empty() && plug::TechFindProcess(basePath.c_str()))
        return TRUE;
    return FALSE;
}
