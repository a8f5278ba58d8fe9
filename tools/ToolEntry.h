// The tools link no C or C++ runtime (cmake: plug_without_runtime): ToolEntry, their entry point,
// hands the arguments of the command line to the tool's ToolMain and ends the process with its
// result as the exit code.
#pragma once

// Defined by each tool. arguments: what follows the program name, never null.
int ToolMain(const wchar_t* arguments);
