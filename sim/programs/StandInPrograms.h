// The stand-ins' programs; each returns the process's exit code. See sim/README.md for their scripts.
#pragma once

#include "DriverPackages.h"

namespace sim {

// The driver setup: installs one family's package (section [driver_setup]).
int RunDriverSetup();
// A remover of one family's package: "UninstallMSI.exe" (QCT), the EMP remover, the K21C remover.
int RunDriverRemover(DriverFamily family, const wchar_t* role);
// The kit setup: installs a kit of type 0 to 3 (section [kit_setup]).
int RunKitSetup();
// The kit's program: logs its command line, stays as long as scripted (section [kit_program]).
int RunKitProgram();

} // namespace sim
