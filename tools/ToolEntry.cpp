#include "ToolEntry.h"

#include "ToolArguments.h"
#include "framework/LibrarySearch.h"

#include <windows.h>

extern "C" void __cdecl ToolEntry()
{
    plug::HardenLibrarySearch(); // before anything loads a library at run time
    ::ExitProcess(static_cast<UINT>(ToolMain(plug::ToolArguments(::GetCommandLineW()))));
}
