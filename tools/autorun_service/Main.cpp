// NorvoAutorunService.exe: the command service that sends Plugstart's vendor commands with
// system rights when the user may not open the device's drive.
#include "ServiceHost.h"
#include "tools/ToolEntry.h"

int ToolMain(const wchar_t*) { return autorun_service::RunService(); }
