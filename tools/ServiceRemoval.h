// Stopping and deleting the command service: the work of the service-removal tool.
#pragma once

#include <windows.h>

namespace plug {

enum ServiceRemovalResult {
    SERVICE_REMOVED = 0,            // stopped (if it ran) and deleted, or there was none
    SERVICE_REMOVAL_NO_MANAGER = 1, // the service control manager cannot be opened (rights)
    SERVICE_REMOVAL_FAILED = 2,     // the service exists but could not be deleted
};

// Stops "Norvo SCSI Commander" (waiting at most stopBudgetMs for it to stop), deletes it and
// waits (as long again at most) until the service control manager has removed it.
ServiceRemovalResult RemoveCommandService(DWORD stopBudgetMs = 30000);

} // namespace plug
