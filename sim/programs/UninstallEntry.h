// The uninstall entry a setup stand-in writes for its product, where the program looks for
// installed drivers and kits: HKLM\SOFTWARE\[Wow6432Node\]Microsoft\Windows\CurrentVersion\Uninstall\<code>.
#pragma once

#include "ChangeSet.h"
#include "VersionStamp.h"

#include <string>

namespace sim {

// The maker, as its setups name it (the entry's "Publisher", a class entry's "ProviderName").
constexpr wchar_t kMakerName[] = L"Norvo Electronics";

// "SOFTWARE\[Wow6432Node\]Microsoft\Windows\CurrentVersion\Uninstall\<code>".
std::wstring UninstallKey(const std::wstring& productCode, bool wow6432Node);

struct UninstallEntry {
    std::wstring productCode; // "{...}"
    bool wow6432Node = false; // the entry under SOFTWARE\Wow6432Node
    std::wstring displayName;
    std::wstring folder;   // "InstallLocation", written with a trailing backslash
    VersionScript version; // "DisplayVersion", unless it is to be left out
};

// Writes "DisplayName", "Publisher", "InstallLocation" and "DisplayVersion" in this order through
// changes. False, with *failure set, when a value cannot be written.
bool WriteUninstallEntry(const UninstallEntry& entry, ChangeSet* changes, std::wstring* failure);

} // namespace sim
