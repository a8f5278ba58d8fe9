// The driver setup stand-in (placed as the profile's driver_name, "DriverSetup.exe").
#include "StandInPrograms.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return sim::RunDriverSetup(); }
