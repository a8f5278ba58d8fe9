#include "AutosetTool.h"

#include "autoplay/AutoplaySettings.h"
#include "autoplay/AutosetArgument.h"

namespace plug {

AutosetToolResult RunAutosetTool(const std::wstring& commandLine)
{
    unsigned toolBits = ParseAutosetCommandLine(commandLine);
    if (toolBits == 0)
        return AUTOSET_BAD_ARGUMENT;
    // Each repair stands on its own: one that fails does not keep the others from being made.
    CRegAccess registry;
    bool allWritten = true;
    for (AutoplayRepair repair : MachineRepairsFor(toolBits))
        allWritten = ApplyAutoplayRepair(registry, repair) && allWritten;
    return allWritten ? AUTOSET_DONE : AUTOSET_WRITE_FAILED;
}

} // namespace plug
