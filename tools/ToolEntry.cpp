#include "ToolEntry.h"

#include "ToolArguments.h"

#include <windows.h>

extern "C" void __cdecl ToolEntry()
{
    ::ExitProcess(static_cast<UINT>(ToolMain(plug::ToolArguments(::GetCommandLineW()))));
}
