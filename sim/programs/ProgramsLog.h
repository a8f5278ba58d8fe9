// The log of the stand-ins, C:\plugstart_sim\programs.log: one line per action, tab-separated
// fields of the form name=value, UTF-8:
//   program=DriverSetup.exe  pid=52  action=installed  detail=QCT 2.1.0.4  command="C:\..\DriverSetup.exe"
#pragma once

#include <string>
#include <vector>

namespace sim {

struct ProgramAction {
    std::wstring program; // the file name the stand-in was started under
    unsigned long pid = 0;
    std::wstring action; // start, detached, waiting, installed, removed, failed, cancelled, timed-out, crashing, exit
    std::wstring detail;
    std::wstring command; // its whole command line
};

// Actions of the log.
constexpr wchar_t kActionStart[] = L"start";
constexpr wchar_t kActionHolding[] = L"holding"; // its delay ends early once the file named exists
constexpr wchar_t kActionWaiting[] = L"waiting";
constexpr wchar_t kActionInstalled[] = L"installed";
constexpr wchar_t kActionRemoved[] = L"removed";
constexpr wchar_t kActionFailed[] = L"failed";
constexpr wchar_t kActionCancelled[] = L"cancelled";
constexpr wchar_t kActionTimedOut[] = L"timed-out";
constexpr wchar_t kActionDetached[] = L"detached"; // started its installer (a copy of itself) to do the work
constexpr wchar_t kActionCrashing[] = L"crashing"; // the last line of a stand-in that crashes
constexpr wchar_t kActionExit[] = L"exit";

// One line without its line end; tabs and line breaks inside a field become blanks.
std::wstring FormatProgramAction(const ProgramAction& action);
// The fields of one line; unknown fields are ignored, missing ones stay empty. False when the
// line has no program or no action.
bool ParseProgramAction(const std::wstring& line, ProgramAction* action);

// Appends one line to the log (creating its folder).
void AppendProgramAction(const ProgramAction& action);
// Every well-formed line of the log, in order; none when there is no log.
std::vector<ProgramAction> ReadProgramActions();

} // namespace sim
