#include "AutoPlay.h"

namespace plug {

// The autoplay check arrives with its own change; until then start-up goes on unchanged.
BOOL SetCDROMAutoRun() { return TRUE; }

} // namespace plug
