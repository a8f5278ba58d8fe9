// NorvoSetCDROMAutoRun.exe autoset-N: makes the machine-wide autoplay repairs for the bits of N
// (0x100 Cdrom "AutoRun" = 1, 0x10 CD-ROM bit of the machine's "NoDriveTypeAutoRun" cleared,
// 0x1 ShellHWDetection "Start" = 2). Exit 0 when all were written, 1 when one failed, 2 for
// any other command line (nothing changed). Its manifest asks for administrator rights.
#include "AutosetTool.h"
#include "ToolEntry.h"

int ToolMain(const wchar_t* arguments) { return plug::RunAutosetTool(arguments); }
