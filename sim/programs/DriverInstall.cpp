#include "DriverInstall.h"

#include "EmbeddedFile.h"
#include "FileTools.h"
#include "RegistryTools.h"
#include "UninstallEntry.h"

namespace sim {

namespace {

const wchar_t* DisplayName(DriverFamily family)
{
    switch (family) {
    case DriverFamily::Qct:
        return L"Norvo USB Modem Drivers";
    case DriverFamily::Emp:
        return L"Norvo MC USB R880 Driver";
    case DriverFamily::K21c:
        return L"K-21C Connection Manager";
    }
    return L"";
}

bool RegisterDevice(const DriverPackage& package, const std::wstring& versionText, ChangeSet* changes,
                    std::wstring* failure)
{
    for (const std::wstring& name : package.enumKeys) {
        if (!changes->CreateKey(HKEY_LOCAL_MACHINE, std::wstring(kEnumUsbKey) + L"\\" + name)) {
            *failure = L"cannot create the enumeration key " + name;
            return false;
        }
    }
    for (const ClassEntry& entry : package.classEntries) {
        std::wstring key = entry.classKey + L"\\" +
                           ClassEntryName(FirstFreeClassNumber(HKEY_LOCAL_MACHINE, entry.classKey));
        if (!changes->SetString(HKEY_LOCAL_MACHINE, key, L"DriverDesc", entry.names.front()) ||
            !changes->SetString(HKEY_LOCAL_MACHINE, key, L"DriverVersion", versionText) ||
            !changes->SetString(HKEY_LOCAL_MACHINE, key, L"ProviderName", kMakerName)) {
            *failure = L"cannot write the class entry " + key;
            return false;
        }
    }
    return true;
}

bool WriteFiles(const std::wstring& folder, const std::vector<std::wstring>& names, const std::string& model,
                const FileVersion& version, ChangeSet* changes, std::wstring* failure)
{
    for (const std::wstring& name : names) {
        std::wstring path = JoinPath(folder, name);
        if (!WriteVersionedCopy(changes, path, model, version)) {
            *failure = L"cannot write " + path;
            return false;
        }
    }
    return true;
}

} // namespace

bool InstallDriverPackage(const DriverInstallScript& script, const std::string& model, ChangeSet* changes,
                          std::wstring* failure)
{
    DriverPackage package = PackageToInstall(script.family, script.edition, RunsOn64BitWindows());
    std::wstring programFiles = ProgramFilesFolder();
    std::wstring drivers = SystemDriversFolder();
    if (programFiles.empty() || drivers.empty()) {
        *failure = L"no Program Files or system folder";
        return false;
    }
    std::wstring packageFolder = JoinPath(programFiles, package.packageFolder);
    const FileVersion& version = script.version.fileVersion;
    return RegisterDevice(package, FileVersionText(version), changes, failure) &&
           WriteFiles(drivers, package.systemFiles, model, version, changes, failure) &&
           WriteFiles(packageFolder, package.packageFiles, model, version, changes, failure) &&
           WriteUninstallEntry(
               {package.productCode, script.wow6432Node, DisplayName(script.family), packageFolder, script.version},
               changes, failure);
}

} // namespace sim
