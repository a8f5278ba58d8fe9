#include "StandInPrograms.h"

#include "DriverRemoval.h"
#include "ProgramsLog.h"
#include "StandInFiles.h"
#include "StandInRun.h"

namespace sim {

int RunDriverRemover(DriverFamily family, const wchar_t* role)
{
    StandInScript script(role);
    StandInRun run(script);
    int exitCode = 0;
    if (!run.HoldForOutcome(L"remove", &exitCode))
        return exitCode;
    RemovalResult result = RemoveDriverPackage(family);
    if (!result.problem.empty()) {
        run.Log(kActionFailed, result.problem);
        return run.Finish(kExitFailed);
    }
    std::wstring name = DriverFamilyName(family);
    run.Log(kActionRemoved, result.foundAnything ? name : name + L" (nothing was installed)");
    return run.Finish(kExitDone);
}

} // namespace sim
