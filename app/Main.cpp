// Plugstart.exe: the auto-run installer on the modem's virtual CD.
#include "PlugstartApp.h"

CPlugstartApp theApp;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int)
{
    return AfxWinMain(instance, commandLine);
}
