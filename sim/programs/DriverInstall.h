// The work of the driver setup stand-in: puts one family's driver package onto the PC.
#pragma once

#include "ChangeSet.h"
#include "DriverPackages.h"
#include "VersionStamp.h"

#include <string>

namespace sim {

struct DriverInstallScript {
    DriverFamily family = DriverFamily::Qct;
    QctEdition edition = QctEdition::Drivers;
    VersionScript version;    // of every driver file and of the class entries; the entry's display version
    bool wow6432Node = false; // the uninstall entry under SOFTWARE\Wow6432Node
};

// Registers the device (enumeration keys, class entries appended after the existing ones), writes
// the driver files as copies of model stamped with the version, and adds the uninstall entry last.
// Every change goes through changes. False, with *failure telling what failed, when a step fails.
bool InstallDriverPackage(const DriverInstallScript& script, const std::string& model, ChangeSet* changes,
                          std::wstring* failure);

} // namespace sim
