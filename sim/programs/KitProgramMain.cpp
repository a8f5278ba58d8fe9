// The kit-program stand-in: the program a kit setup places (itk_run_file, NorvoInternetKit.exe,
// Norvo_PCSuiteIII.exe) is a copy of it.
#include "StandInPrograms.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return sim::RunKitProgram(); }
