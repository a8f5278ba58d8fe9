#include "StandInPrograms.h"

#include "StandInFiles.h"
#include "StandInRun.h"

namespace sim {

int RunKitProgram()
{
    StandInScript script(kRoleKitProgram);
    StandInRun run(script);
    int exitCode = kExitDone;
    return run.HoldAsScripted(&exitCode) ? run.Finish(kExitDone) : exitCode;
}

} // namespace sim
