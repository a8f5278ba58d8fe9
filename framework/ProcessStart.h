// How the program starts other programs: through the shell, verb "open", with the program's own
// folder as working directory, the current directory kept as it was; and how it waits for them.
#pragma once

#include "Handle.h"

#include <string>

namespace plug {

// Starts program with parameters and the given show command. Returns the process handle for the
// caller to wait on (empty when the program did not start or the shell gave no process).
// The shell is asked to show no error box of its own (SEE_MASK_FLAG_NO_UI): the programs started
// so (setups, removers, tools) are steps of an unattended run whose callers judge the outcome
// themselves (a setup by what is installed afterwards, with the program's own message where it
// has one); a box of the shell would hold the run until someone closed it, in a text that is not
// the language file's. A start that fails is traced instead, with the program's path and the
// error, so that the name of a missing file is not lost.
UniqueHandle StartProgram(const std::wstring& program, const std::wstring& parameters, int showCommand);

// Starts program with parameters through the shell (verb "open", no working directory, shown
// normally) without waiting for it; the current directory is kept. FALSE when it did not start,
// which is traced with the program's path and the shell's error.
BOOL LaunchProgram(const std::wstring& program, const std::wstring& parameters);

// Waits until process has ended, at most timeoutMs, dispatching the calling thread's messages
// meanwhile so that its windows stay responsive; input arriving on the thread does not end the
// wait. TRUE when the process has ended.
BOOL WaitForProcessEnd(HANDLE process, DWORD timeoutMs = INFINITE);

} // namespace plug
