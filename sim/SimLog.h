// The logs of the simulation (the device's commands, the stand-ins' actions, the robot's events,
// the download check's calls): lines of tab-separated name=value fields that several processes
// append to while the tests and the plug-in run read them.
#pragma once

#include <string>

namespace sim {

// "name=value", tabs and line breaks in either turned into blanks: one field of a log line.
std::wstring LogField(const std::wstring& name, const std::wstring& value);

// Appends line (its bytes as they are) and CR LF to file, which lies in the state folder or in
// a folder of its own inside it; both folders are created when missing. The file is shared with
// every reader, writer and deleter; a line that cannot be written is dropped.
void AppendLogLine(const std::wstring& file, const std::string& line);
// The same with line in UTF-8.
void AppendLogLine(const std::wstring& file, const std::wstring& line);

} // namespace sim
