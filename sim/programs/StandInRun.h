// The course every stand-in takes: log its start, read its script, hold as scripted, then act,
// fail or cancel as scripted, and log its end with the exit code.
#pragma once

#include "ChangeSet.h"
#include "Hold.h"
#include "StandInScript.h"
#include "VersionStamp.h"

#include <functional>
#include <string>

namespace sim {

// What the script's "outcome" asks: the stand-in's work ("install" or "remove"), "fail" (nothing
// done, exit 1603), "cancel" (nothing done, exit 1602, as a setup the user cancelled) or "crash"
// (nothing done, a real access violation ends the process).
enum class Outcome { Act, Fail, Cancel, Crash };
bool ParseOutcome(const std::wstring& text, const wchar_t* actWord, Outcome* outcome);

// The scripted version: "version" (else the device profile's key, else 1.0.0.0), and the text for
// an uninstall entry's "DisplayVersion": "display_version" when given ("none": no such value,
// "empty": an empty one), else the version as written.
bool ReadVersionScript(const StandInScript& script, const wchar_t* profileSection, const wchar_t* profileKey,
                       VersionScript* version, std::wstring* problem);

class StandInRun {
public:
    // Logs the start with the command line.
    explicit StandInRun(const StandInScript& script);

    void Log(const wchar_t* action, const std::wstring& detail = L"") const;
    // Logs the end and returns exitCode.
    int Finish(int exitCode) const;
    // A script that cannot be carried out: logged as failed, exit 87, nothing done.
    int BadScript(const std::wstring& problem) const;

    // Reads the hold and holds. False when the awaited file never appeared: that is logged and
    // *exitCode is the code to finish with.
    bool HoldAsScripted(int* exitCode) const;
    // Reads the outcome (actWord being the stand-in's work) and the hold, holds, and returns true
    // when the stand-in is to do its work. Otherwise *exitCode is the code to finish with, and
    // what happened (bad script, time-out, scripted failure or cancel, or the work handed over to
    // a copy of itself as "detach" asks: Detach.h) is logged.
    bool HoldForOutcome(const wchar_t* actWord, int* exitCode) const;
    // After a setup's work: waits for the file that "exit_wait_for_file" names, if any.
    void HoldBeforeExit() const;

    // A setup's installation from model, the file it carries: every change goes through changes;
    // false, with *failure set, when a step fails.
    using Installation = std::function<bool(const std::string& model, ChangeSet* changes, std::wstring* failure)>;
    // The course of a setup whose script has been read: loads the file it carries (RCDATA
    // modelId; a bad script, noModelProblem, without it), holds for the outcome "install", then
    // installs. A failed installation is undone and logged; a done one is recorded and logged as
    // installed with installedDetail, and then, when "exit_wait_for_file" names a file, the setup
    // waits until that file exists (at most "wait_limit_ms") before it exits. Returns the exit code.
    int Setup(int modelId, const wchar_t* noModelProblem, const Installation& install,
              const std::wstring& installedDetail) const;

private:
    // Starts the next level of a detaching chain and finishes: 0 when it started, else 1603.
    int HandOver(unsigned level) const;

    const StandInScript& m_script;
    std::wstring m_commandLine;
};

} // namespace sim
