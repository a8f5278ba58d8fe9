// The trace sink. Release builds discard every text; builds with PLUGSTART_TRACE append them to
// "Plugstart_trace.log" in the user's temporary folder.
#pragma once

#include <string>

namespace plug {

// Appends text to the trace; startNew begins a new trace (the log is emptied first).
void Trace(const std::wstring& text, bool startNew = false);

} // namespace plug
