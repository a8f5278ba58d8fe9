// A driver remover stand-in; the family it removes is fixed when it is built (SIM_REMOVER_FAMILY:
// 0 QCT, placed as "UninstallMSI.exe"; 1 EMP, placed as the profile's emp_uninstall_linkfile; 2 K21C).
#include "StandInFiles.h"
#include "StandInPrograms.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
#if SIM_REMOVER_FAMILY == 0
    return sim::RunDriverRemover(sim::DriverFamily::Qct, sim::kRoleQctRemover);
#elif SIM_REMOVER_FAMILY == 1
    return sim::RunDriverRemover(sim::DriverFamily::Emp, sim::kRoleEmpRemover);
#else
    return sim::RunDriverRemover(sim::DriverFamily::K21c, sim::kRoleK21cRemover);
#endif
}
