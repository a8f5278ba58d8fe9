// The program's waits that last seconds (the service pipe retries, the cancel wait, the driver
// poll) sleep through PlugSleep, so that tests can run them at once.
#pragma once

#include <windows.h>

namespace plug {

using SleepHandler = void (*)(DWORD milliseconds);

void PlugSleep(DWORD milliseconds);

// Installs handler in place of Sleep; nullptr restores Sleep. Returns the previous handler.
SleepHandler SetSleepHandler(SleepHandler handler);

} // namespace plug
