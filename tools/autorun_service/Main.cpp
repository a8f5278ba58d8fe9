// NorvoAutorunService.exe: the command service that sends Plugstart's vendor commands with
// system rights when the user may not open the device's drive.
#include "ServiceHost.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return autorun_service::RunService(); }
