#include "UninstallEntry.h"

namespace sim {

std::wstring UninstallKey(const std::wstring& productCode, bool wow6432Node)
{
    return std::wstring(wow6432Node ? L"SOFTWARE\\Wow6432Node\\" : L"SOFTWARE\\") +
           L"Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productCode;
}

bool WriteUninstallEntry(const UninstallEntry& entry, ChangeSet* changes, std::wstring* failure)
{
    std::wstring key = UninstallKey(entry.productCode, entry.wow6432Node);
    bool written = changes->SetString(HKEY_LOCAL_MACHINE, key, L"DisplayName", entry.displayName) &&
                   changes->SetString(HKEY_LOCAL_MACHINE, key, L"Publisher", kMakerName) &&
                   changes->SetString(HKEY_LOCAL_MACHINE, key, L"InstallLocation", entry.folder + L"\\");
    if (written && entry.version.writeDisplayVersion)
        written = changes->SetString(HKEY_LOCAL_MACHINE, key, L"DisplayVersion", entry.version.displayVersion);
    if (!written)
        *failure = L"cannot write the uninstall entry " + entry.productCode;
    return written;
}

} // namespace sim
