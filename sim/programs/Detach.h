// A setup or remover that does not wait for its installer, as many bootstrappers do: scripted by
// "detach", the program the caller started only starts a copy of itself as the installer and
// exits at once; with 2 that copy does the same once more, so that the work is done by a
// grandchild of the program the caller started, and so on.
#pragma once

#include "StandInScript.h"

#include <string>

namespace sim {

constexpr unsigned kMostDetachLevels = 3;

// The argument that tells a copy which level of the chain it is ("/detached 1").
constexpr wchar_t kDetachedSwitch[] = L"/detached";

// The level of the running process in the chain: 0 for the program the caller started, else the
// number after kDetachedSwitch on the command line.
unsigned DetachLevelOf(const std::wstring& commandLine);

// What a process of the chain does: the installer itself (the last level, or no "detach"), or a
// start of the next level.
struct DetachStep {
    bool handOver = false; // start the next level and exit
    unsigned nextLevel = 0;
    std::wstring problem; // a "detach" that cannot be carried out
};
DetachStep PlanDetach(const StandInScript& script, const std::wstring& commandLine);

// Starts the running program again as the given level of the chain, with the same working
// directory, and does not wait for it. Returns its process id, 0 when it did not start (with
// *error set).
unsigned long StartDetachedCopy(unsigned level, unsigned long* error);

} // namespace sim
