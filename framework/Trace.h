// The trace sink: the program's diagnostic log, "Plugstart_trace.log" in the user's temporary
// folder. Builds with PLUGSTART_TRACE (the test and demo builds) always write it; the release
// build writes it only when the environment variable PLUGSTART_TRACE is set to anything but
// empty or "0" (for support: set it, run the program, collect %TEMP%\Plugstart_trace.log), and
// discards every text otherwise. Set to "time", it also stamps each text with the moment it was
// traced: "[12345.678 ms] " before the text, the milliseconds of the performance counter (one
// clock for every process of the machine), so that the log tells where a run spends its time. A
// timed trace is never emptied (each run appends, told apart by its stamps), and it also holds the
// moments of TraceMoment.
#pragma once

#include <string>

namespace plug {

// Appends text to the trace; startNew begins a new trace (the log is emptied first).
void Trace(const std::wstring& text, bool startNew = false);

// Whether this process writes the trace; decided at the first call.
bool IsTraceOn();

// Traces "moment: " + what only in a timed trace: the points between the steps' own texts that
// tell where the time goes (the program's entry, its windows, the end), which the plain trace
// goes without.
void TraceMoment(const wchar_t* what);

} // namespace plug
