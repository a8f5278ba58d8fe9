// How the program starts other programs: through the shell, verb "open", with the program's own
// folder as working directory, the current directory kept as it was.
#pragma once

#include "Handle.h"

#include <string>

namespace plug {

// Starts program with parameters and the given show command. Returns the process handle for the
// caller to wait on (empty when the program did not start or the shell gave no process).
UniqueHandle StartProgram(const std::wstring& program, const std::wstring& parameters, int showCommand);

} // namespace plug
