// Whether a running process was started from an executable whose full path contains a text.
// The lookup writes its progress to the debugger output. It loads the process-status library from
// the system folder, never one of that name beside the program.
#pragma once

#include <windows.h>

namespace plug {

// TRUE when the full image path of some running process contains sProcessName, compared
// without regard to case (an empty text matches the first process whose path can be read).
// FALSE when none does and on every failure. The calling process is not excluded.
BOOL TechFindProcess(LPCWSTR sProcessName);

} // namespace plug
