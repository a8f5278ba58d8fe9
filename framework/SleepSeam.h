// The program's waits that last seconds (the service pipe retries, the cancel wait, the driver
// poll) sleep through PlugSleep, so that tests can run them at once.
#pragma once

#include <windows.h>

namespace plug {

using SleepHandler = void (*)(DWORD milliseconds);

void PlugSleep(DWORD milliseconds);

// The same wait for a thread that owns windows: messages that other threads send to its
// windows meanwhile are handled (a worker's message box or button change needs that), posted
// messages and input stay queued. Tests replace it with the same handler as PlugSleep.
void PlugSleepHandlingSentMessages(DWORD milliseconds);

// Installs handler in place of Sleep; nullptr restores Sleep. Returns the previous handler.
SleepHandler SetSleepHandler(SleepHandler handler);

} // namespace plug
