#include "DriverRemoval.h"

#include "FileTools.h"
#include "InstallRecord.h"
#include "RegistryTools.h"
#include "UninstallEntry.h"
#include "framework/StringFormat.h"

#include <algorithm>

namespace sim {

namespace {

class Remover {
public:
    RemovalResult result;

    void Key(const std::wstring& path)
    {
        if (!KeyExists(HKEY_LOCAL_MACHINE, path))
            return;
        result.foundAnything = true;
        if (!DeleteKeyTree(HKEY_LOCAL_MACHINE, path))
            Problem(L"cannot delete the key " + path);
    }

    void File(const std::wstring& path)
    {
        if (!PathExists(path))
            return;
        result.foundAnything = true;
        if (!DeleteFileForced(path))
            Problem(L"cannot delete " + path);
    }

    void ClassEntries(const ClassEntry& entry)
    {
        for (const std::wstring& number : SubkeyNames(HKEY_LOCAL_MACHINE, entry.classKey)) {
            std::wstring key = entry.classKey + L"\\" + number;
            std::wstring description = ReadRegistryText(HKEY_LOCAL_MACHINE, key, L"DriverDesc");
            auto same = [&description](const std::wstring& name) { return plug::EqualsNoCase(name, description); };
            if (!description.empty() && std::any_of(entry.names.begin(), entry.names.end(), same))
                Key(key);
        }
    }

    void Folder(const std::wstring& folder, const std::vector<std::wstring>& files)
    {
        for (const std::wstring& name : files)
            File(JoinPath(folder, name));
        if (FolderIsEmpty(folder))
            ::RemoveDirectoryW(folder.c_str());
    }

private:
    void Problem(const std::wstring& text)
    {
        if (result.problem.empty())
            result.problem = text;
    }
};

// The folders that the family's uninstall entries name as "InstallLocation".
std::vector<std::wstring> InstallLocations(const DriverRemovalSet& removal)
{
    std::vector<std::wstring> folders;
    for (const std::wstring& code : removal.productCodes) {
        for (bool wow : {false, true}) {
            std::wstring location = ReadRegistryText(HKEY_LOCAL_MACHINE, UninstallKey(code, wow), L"InstallLocation");
            while (!location.empty() && location.back() == L'\\')
                location.pop_back();
            if (!location.empty())
                folders.push_back(location);
        }
    }
    return folders;
}

} // namespace

RemovalResult RemoveDriverPackage(DriverFamily family)
{
    DriverRemovalSet removal = PackageToRemove(family);
    Remover remover;
    std::vector<std::wstring> folders;
    if (removal.usesInstallLocation)
        folders = InstallLocations(removal);
    std::wstring programFiles = ProgramFilesFolder();
    if (!programFiles.empty()) {
        for (const std::wstring& folder : removal.packageFolders)
            folders.push_back(JoinPath(programFiles, folder));
    }

    for (const std::wstring& code : removal.productCodes) {
        remover.Key(UninstallKey(code, false));
        remover.Key(UninstallKey(code, true));
    }
    for (const std::wstring& name : removal.enumKeys)
        remover.Key(std::wstring(kEnumUsbKey) + L"\\" + name);
    for (const ClassEntry& entry : removal.classEntries)
        remover.ClassEntries(entry);
    std::wstring drivers = SystemDriversFolder();
    if (!drivers.empty()) {
        for (const std::wstring& name : removal.systemFiles)
            remover.File(JoinPath(drivers, name));
    }
    for (const std::wstring& folder : folders)
        remover.Folder(folder, removal.packageFiles);

    TidyRecordedEntries();
    return remover.result;
}

} // namespace sim
