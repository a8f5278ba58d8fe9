// The Windows folders the program looks in, asked of the system (never created when missing).
#pragma once

#include <string>
#include <vector>

namespace plug {

// The shell folder csidl (a CSIDL_ value); false when the shell cannot tell.
bool GetShellFolder(int csidl, std::wstring& folder);
// The Program Files folder (the shell's CSIDL_PROGRAM_FILES); false when the shell cannot tell.
bool GetProgramFilesFolder(std::wstring& folder);
// The Windows system folder, where the drivers and the command service lie; false when it
// cannot be had.
bool GetSystemFolder(std::wstring& folder);

// The roots ("E:\") of the CD-ROM drives, in the order of their letters, leaving out the drive
// of skippedLetter (any case), whose type is then not asked: every question costs a round trip
// to the system's drive manager.
std::vector<std::wstring> CdromDriveRoots(wchar_t skippedLetter = L'\0');

} // namespace plug
