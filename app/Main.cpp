// Plugstart.exe: the auto-run installer on the modem's virtual CD.
#include "PlugstartApp.h"
#include "framework/LibrarySearch.h"

CPlugstartApp theApp;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int)
{
    plug::HardenLibrarySearch(); // before anything loads a library at run time
    return AfxWinMain(instance, commandLine);
}
