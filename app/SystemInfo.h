// Operating-system queries used across the program.
#pragma once

#include <windows.h>

namespace plug {

// The class of the running Windows (see VersionClassFor).
int GetWindowsVersionClass();
// TRUE on Vista-class Windows (class 8 or above).
BOOL IsVistaOS();
// 1 when the process runs under WOW64, 0 when not or when the system has no IsWow64Process,
// -1 when the query fails.
int IsWow64();

} // namespace plug
