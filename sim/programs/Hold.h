// How long a stand-in keeps running before it acts (a setup) or ends (the kit program): a fixed
// delay (which a file may end early), then, when a file is named, until that file exists, never
// longer than a bound.
#pragma once

#include "StandInScript.h"

#include <windows.h>

#include <string>

namespace sim {

// Scripted by delay_ms, delay_release, wait_for_file and wait_limit_ms.
struct HoldScript {
    DWORD delayMs = 0;
    // A full path: the delay ends early once this file exists; empty: the whole delay. Scripted as
    // a stem to which the stand-in adds "-" and its process id, so that each process started
    // has a file of its own.
    std::wstring delayReleaseFile;
    std::wstring waitForFile; // a full path; empty: no wait
    DWORD waitLimitMs = 0;
};

constexpr DWORD kLongestHoldMs = 600000; // no hold, however scripted, lasts longer
constexpr DWORD kDefaultWaitLimitMs = 60000;

HoldScript ReadHoldScript(const StandInScript& script);

// The file that ends this process's delay early: stem-pid.
std::wstring DelayReleaseFile(const std::wstring& stem, DWORD processId);

enum class HoldResult { Released, TimedOut };

// Sleeps delayMs (less once delayReleaseFile exists), then waits until waitForFile exists, at
// most waitLimitMs.
HoldResult Hold(const HoldScript& hold);

} // namespace sim
