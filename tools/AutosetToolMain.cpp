// NorvoSetCDROMAutoRun.exe autoset-N: makes the machine-wide autoplay repairs for the bits of N
// (0x100 Cdrom "AutoRun" = 1, 0x10 CD-ROM bit of the machine's "NoDriveTypeAutoRun" cleared,
// 0x1 ShellHWDetection "Start" = 2). Exit 0 when all were written, 1 when one failed, 2 for
// any other command line (nothing changed). Its manifest asks for administrator rights.
#include "AutosetTool.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int)
{
    return plug::RunAutosetTool(commandLine ? commandLine : L"");
}
