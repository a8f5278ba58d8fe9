// The work of the kit setup stand-in: registers one kind of connection software the way the
// program looks for it, and places the kit's program (a copy of the kit-program stand-in).
#pragma once

#include "ChangeSet.h"
#include "VersionStamp.h"

#include <string>

namespace sim {

// The kit types of the device profile's itk_type.
enum class KitType { ViaThePhone = 0, NorvoInternetKit = 1, PCSuite = 2, ConnectionManager = 3 };

// "0" to "3".
bool ParseKitType(const std::wstring& text, KitType* type);
// The program name a kit of this type is started by when the script names none.
const wchar_t* DefaultKitProgram(KitType type);

struct KitInstallScript {
    KitType type = KitType::NorvoInternetKit;
    VersionScript version;    // of every program placed; the entry's display version (types 0 and 1)
    bool wow6432Node = false; // the uninstall entry under SOFTWARE\Wow6432Node
    std::wstring programName; // itk_run_file: a name inside the kit's folder
};

// Type 0: the uninstall entry {7E4B90C2-...} and "Program Files\Vodafone\Via The Phone\<program>".
// Type 1: the entry {2D71E8A5-...}, "Program Files\NorvoInternetKit\NorvoInternetKit.exe" and <program>
//         beside it.
// Type 2: "Program Files\Norvo Electronics\Norvo PC Suite III\Norvo_PCSuiteIII.exe", named by the
//         value "InstallPath" of HKCU\SOFTWARE\Norvo Electronics Inc\Norvo PC Suite III.
// Type 3: "Program Files\K-21C Connection Manager\<program>", the folder named by the value
//         "CM_Install_path" of HKCU\SOFTWARE\K-21C-ConnectionManager.
// Programs are copies of model stamped with the version. False, with *failure set, when a step fails.
bool InstallKit(const KitInstallScript& script, const std::string& model, ChangeSet* changes, std::wstring* failure);

} // namespace sim
