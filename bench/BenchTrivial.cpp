// The trivial program of the release figures: its entry point ends the process at once. No C or
// C++ runtime, nothing else (cmake: plug_without_runtime), stripped.
#include <windows.h>

extern "C" void __cdecl TrivialEntry() { ::ExitProcess(0); }
