// The check and repair of the Windows autoplay settings for CD-ROM drives, run at a CD start.
#pragma once

#include "AutoplayPolicy.h"

#include <windows.h>

#include <string>

namespace plug {

// How long the program waits for the repair tool. Generous, since the tool may wait for the
// user at an elevation prompt; but a tool that hangs must not hold up the start-up for ever.
constexpr DWORD AUTOPLAY_TOOL_WAIT_MS = 10 * 60 * 1000;

struct AutoplayRepairTool {
    std::wstring path; // the program directory + "tools\NorvoSetCDROMAutoRun.exe"
    DWORD waitMs = AUTOPLAY_TOOL_WAIT_MS;
};

// Checks the autoplay settings and, when one stands in the way, asks the user (no owner, caption
// "STR_STRING_TITLE", OK and Cancel) whether to repair them. On OK, before Vista, every FALSE
// setting is written here; on Vista and later the user's settings are written here and the
// machine-wide ones are left to the repair tool, which is started and waited for. FALSE only
// when one of the writes here failed (what was written before stays).
BOOL CheckAndRepairAutoplay(const AutoplaySystem& system, const AutoplayRepairTool& tool);

} // namespace plug
