// How long a stand-in keeps running before it acts (a setup) or ends (the kit program): a fixed
// delay, then, when a file is named, until that file exists, never longer than a bound.
#pragma once

#include "StandInScript.h"

#include <windows.h>

#include <string>

namespace sim {

// Scripted by delay_ms, wait_for_file and wait_limit_ms.
struct HoldScript {
    DWORD delayMs = 0;
    std::wstring waitForFile; // a full path; empty: no wait
    DWORD waitLimitMs = 0;
};

constexpr DWORD kLongestHoldMs = 600000; // no hold, however scripted, lasts longer
constexpr DWORD kDefaultWaitLimitMs = 60000;

HoldScript ReadHoldScript(const StandInScript& script);

enum class HoldResult { Released, TimedOut };

// Sleeps delayMs, then waits until waitForFile exists, at most waitLimitMs.
HoldResult Hold(const HoldScript& hold);

} // namespace sim
