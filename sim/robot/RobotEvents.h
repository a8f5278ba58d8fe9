// The robot's log, C:\plugstart_sim\robot\events.log: one line per event, UTF-8, tab-separated
// name=value fields, the first one event=<kind>. Tabs and line breaks inside a field become
// blanks; a line ends with CR LF. The plug-in run reads it while the run goes on.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace robot {

using EventFields = std::vector<std::pair<std::wstring, std::wstring>>;

// One line without its line end.
std::wstring FormatEvent(const std::wstring& kind, const EventFields& fields);

// Appends one event to the log (creating its folder).
void WriteEvent(const std::wstring& kind, const EventFields& fields);

// The robot's folder, its log, the acknowledgement file of message box number n and the stop file.
std::wstring RobotFolder();
std::wstring EventLogPath();
std::wstring AckPath(unsigned long number);
std::wstring StopPath();

} // namespace robot
