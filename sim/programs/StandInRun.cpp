#include "StandInRun.h"

#include "Detach.h"
#include "EmbeddedFile.h"
#include "ProgramsLog.h"
#include "StandInFiles.h"
#include "framework/StringFormat.h"

#include <windows.h>

namespace sim {

namespace {

// A write through a null pointer: the processor's own access violation, which ends the process
// with EXCEPTION_ACCESS_VIOLATION as a crashing setup ends (the prefix shows no crash dialog).
[[noreturn]] void CrashWithAccessViolation()
{
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
    ::ExitProcess(static_cast<UINT>(EXCEPTION_ACCESS_VIOLATION)); // not reached
}

} // namespace

bool ParseOutcome(const std::wstring& text, const wchar_t* actWord, Outcome* outcome)
{
    if (plug::EqualsNoCase(text, actWord))
        *outcome = Outcome::Act;
    else if (plug::EqualsNoCase(text, L"fail"))
        *outcome = Outcome::Fail;
    else if (plug::EqualsNoCase(text, L"cancel"))
        *outcome = Outcome::Cancel;
    else if (plug::EqualsNoCase(text, L"crash"))
        *outcome = Outcome::Crash;
    else
        return false;
    return true;
}

bool ReadVersionScript(const StandInScript& script, const wchar_t* profileSection, const wchar_t* profileKey,
                       VersionScript* version, std::wstring* problem)
{
    std::wstring text = script.TextOrProfile(L"version", profileSection, profileKey, L"1.0.0.0");
    if (!ParseFileVersion(text, &version->fileVersion)) {
        *problem = L"version \"" + text + L"\" is not a file version (one to four numbers up to 65535)";
        return false;
    }
    std::wstring display = script.Text(L"display_version", text);
    version->writeDisplayVersion = !plug::EqualsNoCase(display, L"none");
    version->displayVersion = plug::EqualsNoCase(display, L"empty") ? std::wstring() : display;
    return true;
}

StandInRun::StandInRun(const StandInScript& script) : m_script(script), m_commandLine(::GetCommandLineW())
{
    Log(kActionStart);
}

void StandInRun::Log(const wchar_t* action, const std::wstring& detail) const
{
    ProgramAction entry;
    entry.program = m_script.ProgramName();
    entry.pid = ::GetCurrentProcessId();
    entry.action = action;
    entry.detail = detail;
    entry.command = m_commandLine;
    AppendProgramAction(entry);
}

int StandInRun::Finish(int exitCode) const
{
    Log(kActionExit, std::to_wstring(exitCode));
    return exitCode;
}

int StandInRun::BadScript(const std::wstring& problem) const
{
    Log(kActionFailed, L"script: " + problem);
    return Finish(kExitBadScript);
}

bool StandInRun::HoldAsScripted(int* exitCode) const
{
    HoldScript hold = ReadHoldScript(m_script);
    if (!hold.delayReleaseFile.empty())
        Log(kActionHolding, hold.delayReleaseFile);
    if (!hold.waitForFile.empty())
        Log(kActionWaiting, hold.waitForFile);
    if (Hold(hold) == HoldResult::TimedOut) {
        Log(kActionTimedOut, hold.waitForFile);
        *exitCode = Finish(kExitTimedOut);
        return false;
    }
    return true;
}

void StandInRun::HoldBeforeExit() const
{
    HoldScript hold;
    hold.waitForFile = m_script.Text(L"exit_wait_for_file");
    if (hold.waitForFile.empty())
        return;
    hold.waitLimitMs = m_script.Milliseconds(L"wait_limit_ms", kDefaultWaitLimitMs, kLongestHoldMs);
    Log(kActionWaiting, hold.waitForFile);
    if (Hold(hold) == HoldResult::TimedOut)
        Log(kActionTimedOut, hold.waitForFile); // the work is done: the exit code stays that of a done setup
}

int StandInRun::HandOver(unsigned level) const
{
    unsigned long error = 0;
    unsigned long installer = StartDetachedCopy(level, &error);
    if (installer == 0) {
        Log(kActionFailed, L"could not start its installer: error " + std::to_wstring(error));
        return Finish(kExitFailed);
    }
    Log(kActionDetached, L"level " + std::to_wstring(level) + L" pid " + std::to_wstring(installer));
    return Finish(kExitDone);
}

bool StandInRun::HoldForOutcome(const wchar_t* actWord, int* exitCode) const
{
    DetachStep detach = PlanDetach(m_script, m_commandLine);
    if (!detach.problem.empty()) {
        *exitCode = BadScript(detach.problem);
        return false;
    }
    if (detach.handOver) {
        *exitCode = HandOver(detach.nextLevel);
        return false;
    }
    std::wstring outcomeText = m_script.Text(L"outcome", actWord);
    Outcome outcome = Outcome::Act;
    if (!ParseOutcome(outcomeText, actWord, &outcome)) {
        *exitCode = BadScript(L"outcome \"" + outcomeText + L"\" is none of " + actWord + L", fail, cancel, crash");
        return false;
    }
    if (!HoldAsScripted(exitCode))
        return false;
    if (outcome == Outcome::Act)
        return true;
    if (outcome == Outcome::Crash) {
        Log(kActionCrashing, L"access violation, as scripted");
        CrashWithAccessViolation();
    }
    if (outcome == Outcome::Fail)
        Log(kActionFailed, L"as scripted");
    else
        Log(kActionCancelled, L"as scripted");
    *exitCode = Finish(outcome == Outcome::Fail ? kExitFailed : kExitCancelled);
    return false;
}

int StandInRun::Setup(int modelId, const wchar_t* noModelProblem, const Installation& install,
                      const std::wstring& installedDetail) const
{
    std::string model = LoadEmbeddedFile(modelId);
    if (model.empty())
        return BadScript(noModelProblem);
    int exitCode = 0;
    if (!HoldForOutcome(L"install", &exitCode))
        return exitCode;

    ChangeSet changes;
    std::wstring problem;
    if (!install(model, &changes, &problem)) {
        changes.Undo();
        Log(kActionFailed, problem);
        return Finish(kExitFailed);
    }
    changes.Record();
    Log(kActionInstalled, installedDetail);
    HoldBeforeExit();
    return Finish(kExitDone);
}

} // namespace sim
