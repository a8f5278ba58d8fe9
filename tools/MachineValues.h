// The machine-wide DWORD values that the autoplay repair tool reads and writes, named by value
// paths under HKEY_LOCAL_MACHINE ("key\...\name"). Plain Win32, no registry view flags (like
// the program's registry class).
#pragma once

#include <windows.h>

namespace plug {

// TRUE when the value was read into value (which is left alone otherwise).
BOOL ReadMachineDword(const wchar_t* valuePath, DWORD* value);

// Writes the value, creating its key when it is missing. TRUE when it was written.
BOOL WriteMachineDword(const wchar_t* valuePath, DWORD value);

} // namespace plug
