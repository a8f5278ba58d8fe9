// The kit setup stand-in (placed as the profile's itk_setup, "InternetKitSetup.exe").
#include "StandInPrograms.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return sim::RunKitSetup(); }
