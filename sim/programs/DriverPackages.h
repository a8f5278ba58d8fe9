// What the maker's driver setups put onto a PC, per driver family: the USB enumeration keys, the
// numbered device-class entries, the driver files in the system drivers folder and in the
// package folder under Program Files, and the uninstall entry.
#pragma once

#include <string>
#include <vector>

namespace sim {

enum class DriverFamily { Qct, Emp, K21c };

// "QCT", "EMP" or "FOMA_K21C" (any case), as the device profile names the families.
bool ParseDriverFamily(const std::wstring& text, DriverFamily* family);
const wchar_t* DriverFamilyName(DriverFamily family);

// The three editions of the QCT package: the "Drivers" folder under its first or its second
// product code, or the older "Driver" folder.
enum class QctEdition { Drivers, DriversSecondCode, Driver };
// "drivers", "drivers2" or "driver".
bool ParseQctEdition(const std::wstring& text, QctEdition* edition);

struct ClassEntry {
    std::wstring classKey;           // under HKLM
    std::vector<std::wstring> names; // DriverDesc names of the family; a setup writes the first
};

struct DriverPackage {
    std::vector<std::wstring> enumKeys; // under HKLM\SYSTEM\CurrentControlSet\Enum\USB
    std::vector<ClassEntry> classEntries;
    std::vector<std::wstring> systemFiles;  // names in the system drivers folder
    std::wstring packageFolder;             // below Program Files
    std::vector<std::wstring> packageFiles; // names in the package folder
    std::wstring productCode;               // the uninstall entry, "{...}"
};

// The package that a setup of the family installs. is64BitWindows chooses the EMP folder.
DriverPackage PackageToInstall(DriverFamily family, QctEdition edition, bool is64BitWindows);

// Everything a remover of the family takes away: every edition's product codes, the folders of
// every edition and platform (deepest first), and the files under every name they may carry.
struct DriverRemovalSet {
    std::vector<std::wstring> enumKeys;
    std::vector<ClassEntry> classEntries;
    std::vector<std::wstring> systemFiles;
    std::vector<std::wstring> packageFolders; // below Program Files, deepest first
    std::vector<std::wstring> packageFiles;
    std::vector<std::wstring> productCodes;
    bool usesInstallLocation = false; // the package folder is also the entry's "InstallLocation"
};
DriverRemovalSet PackageToRemove(DriverFamily family);

extern const wchar_t kEnumUsbKey[];

} // namespace sim
