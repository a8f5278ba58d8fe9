// The Windows folders the program looks in, asked of the system (never created when missing).
#pragma once

#include <string>

namespace plug {

// The Program Files folder (the shell's CSIDL_PROGRAM_FILES); false when the shell cannot tell.
bool GetProgramFilesFolder(std::wstring& folder);
// The Windows system folder, where the drivers and the command service lie; false when it
// cannot be had.
bool GetSystemFolder(std::wstring& folder);

} // namespace plug
