#include "StandInPrograms.h"

#include "ProgramsLog.h"
#include "StandInFiles.h"
#include "StandInRun.h"

namespace sim {

int RunKitProgram()
{
    StandInScript script(kRoleKitProgram);
    StandInRun run(script);
    HoldScript hold = ReadHoldScript(script);
    if (!hold.waitForFile.empty())
        run.Log(kActionWaiting, hold.waitForFile);
    if (Hold(hold) == HoldResult::TimedOut) {
        run.Log(kActionTimedOut, hold.waitForFile);
        return run.Finish(kExitTimedOut);
    }
    return run.Finish(kExitDone);
}

} // namespace sim
