// The check and repair of the Windows autoplay settings for CD-ROM drives.
#pragma once

#include <windows.h>

namespace plug {

// Checks the autoplay settings and, with the user's consent, repairs them. Runs at a CD start.
BOOL SetCDROMAutoRun();

} // namespace plug
