// The work of the removers ("UninstallMSI.exe" for QCT, the EMP remover, a K21C one): take away
// a family's driver package, whichever edition or tool put it there.
#pragma once

#include "DriverPackages.h"

#include <string>

namespace sim {

struct RemovalResult {
    bool foundAnything = false; // some key or file of the family was there
    std::wstring problem;       // empty when everything of the family is gone
};

// Deletes the family's uninstall entries (native and Wow6432Node), enumeration keys, class entries
// (by their DriverDesc names), driver files in the system drivers folder and in the package
// folders (and, for K21C, in the folder the entry names as "InstallLocation"), removes package
// folders left empty, then the recorded keys and folders that setups created and that are now bare.
// Only files of the family's known names are deleted, never a whole folder.
RemovalResult RemoveDriverPackage(DriverFamily family);

} // namespace sim
