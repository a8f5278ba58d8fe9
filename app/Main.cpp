// Plugstart.exe: the auto-run installer on the modem's virtual CD.
#include "PlugstartApp.h"

#include "framework/LibrarySearch.h"
#include "framework/Trace.h"

CPlugstartApp theApp;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int)
{
    plug::TraceMoment(L"program entry (system libraries loaded, runtime started)");
    plug::HardenLibrarySearch(); // before anything loads a library at run time
    int exitCode = AfxWinMain(instance, commandLine);
    plug::TraceMoment(L"program end");
    return exitCode;
}
