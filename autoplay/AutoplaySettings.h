// Where the autoplay settings live in the registry: reading them for the check and writing
// one repair. Used by the program and by the repair tool.
#pragma once

#include "AutoplayPolicy.h"
#include "registry/RegAccess.h"

namespace plug {

// Reads the values that decide, in the order 1, 2, 3 (only when 2 is absent), 4, and on Vista
// and later 5, 6, 7. A value that cannot be read counts as absent.
AutoplayReadings ReadAutoplaySettings(CRegAccess& registry, bool vista);

// Writes one repair; a "NoDriveTypeAutoRun" is read again and written back with the CD-ROM bit
// cleared. TRUE when the value was written.
BOOL ApplyAutoplayRepair(CRegAccess& registry, AutoplayRepair repair);

} // namespace plug
