#include "InstallPaths.h"

#include "config/ModulePath.h"
#include "config/RelativeName.h"
#include "config/SystemFolders.h"
#include "registry/RegAccess.h"

namespace plug {
namespace detect {

const wchar_t kPcSuiteKey[] = L"Norvo Electronics Inc\\Norvo PC Suite III";
const wchar_t kConnectionManagerKey[] = L"K-21C-ConnectionManager";

std::wstring ReadInstallPath(const wchar_t* userKey)
{
    CRegAccess registry;
    std::wstring path;
    registry.GetUserString(userKey, L"InstallPath", path);
    return path;
}

ManagerProgramRead ReadConnectionManagerProgram(const std::wstring& programName, std::wstring& program)
{
    CRegAccess registry;
    std::wstring folder;
    if (!registry.GetUserString(kConnectionManagerKey, L"CM_Install_path", folder))
        return ManagerProgramRead::Unreadable;
    if (folder.empty())
        return ManagerProgramRead::EmptyFolder;
    if (!IsContainedRelativeName(programName))
        return ManagerProgramRead::NameLeavesFolder;
    program = WithTrailingBackslash(folder) + programName;
    return ManagerProgramRead::Found;
}

const DriverFilePair kQctDriverFiles[3] = {
    {L"norvousbbus.sys", L"norvox64bus.sys"},
    {L"norvousbdiag.sys", L"norvox64diag.sys"},
    {L"norvousbmodem.sys", L"norvox64modem.sys"},
};
const wchar_t kQctDriversEditionFolder[] = L"Norvo USB Modem Drivers";
const wchar_t kQctDriverEditionFolder[] = L"Norvo USB Modem Driver";

bool IsQctDriversEditionRegistered()
{
    return UninstallKeyExists(kQctDriversCode, UninstallView::Native) ||
           UninstallKeyExists(kQctDriversCode, UninstallView::Wow) ||
           UninstallKeyExists(kQctDriversSecondCode, UninstallView::Native);
}

bool QctDriverFilesPresent(const std::wstring& prefix)
{
    for (const DriverFilePair& pair : kQctDriverFiles) {
        if (!AnyFileExists(prefix, {pair.first, pair.second}))
            return false;
    }
    return true;
}

std::wstring UninstallSubKey(const wchar_t* productCode, UninstallView view)
{
    std::wstring key = view == UninstallView::Wow ? L"Wow6432Node\\" : L"";
    return key + L"Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productCode;
}

std::wstring UninstallKey(const wchar_t* productCode, UninstallView view)
{
    return L"SOFTWARE\\" + UninstallSubKey(productCode, view);
}

bool UninstallKeyExists(const wchar_t* productCode, UninstallView view)
{
    CRegAccess registry;
    return registry.KeyExists(REGROOT_LOCAL_MACHINE, UninstallKey(productCode, view)) != FALSE;
}

bool IsProductRegistered(const wchar_t* productCode)
{
    return UninstallKeyExists(productCode, UninstallView::Native) ||
           UninstallKeyExists(productCode, UninstallView::Wow);
}

bool ReadK21cInstallLocation(std::wstring& location)
{
    if (!IsProductRegistered(kK21cManagerCode))
        return false;
    CRegAccess registry;
    return registry.GetMachineString(UninstallSubKey(kK21cManagerCode, UninstallView::Native), L"InstallLocation",
                                     location) != FALSE;
}

std::wstring VtpKitFolder(const std::wstring& programFiles) { return programFiles + L"\\Vodafone\\Via The Phone\\"; }

std::wstring NorvoKitFolder(const std::wstring& programFiles)
{
    return programFiles + L"\\" + kNorvoKitFolderName + L"\\";
}

bool GetEmpPackageFolder(bool is64BitWindows, std::wstring& folder)
{
    std::wstring programFiles;
    if (!GetProgramFilesFolder(programFiles))
        return false;
    folder = programFiles + (is64BitWindows ? L"\\Norvo Electronics\\Norvo MC USB R880 Driver\\Norvo64\\amd64"
                                            : L"\\Norvo Electronics\\Norvo MC USB R880 Driver\\Norvo32\\i386");
    return true;
}

bool AnyFileExists(const std::wstring& prefix, std::initializer_list<const wchar_t*> names)
{
    for (const wchar_t* name : names) {
        if (IsExistFile(prefix + name) == TRUE)
            return true;
    }
    return false;
}

std::wstring WithTrailingBackslash(const std::wstring& path)
{
    if (!path.empty() && path.back() == L'\\')
        return path;
    return path + L"\\";
}

} // namespace detect
} // namespace plug
