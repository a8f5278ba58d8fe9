// File and folder operations of the stand-ins.
#pragma once

#include <string>

namespace sim {

bool PathExists(const std::wstring& path);
bool IsFolder(const std::wstring& path);
// True when the folder exists and holds nothing.
bool FolderIsEmpty(const std::wstring& folder);
// The bytes of a file; empty when it cannot be read. Others may go on reading, writing and
// deleting it meanwhile (a log polled while it grows).
std::string ReadWholeFile(const std::wstring& path);
// Writes bytes as the whole file (replacing one that is there).
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
// Deletes a file, also a read-only one; true when it is gone afterwards.
bool DeleteFileForced(const std::wstring& path);

// The folder of a path (without trailing backslash), and a folder joined with a name.
std::wstring ParentOf(const std::wstring& path);
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

// Program Files and the system drivers folder as the running process sees them, without
// trailing backslash; empty when Windows does not tell.
std::wstring ProgramFilesFolder();
std::wstring SystemDriversFolder();
// Whether the process runs under WOW64, the test by which the program tells 64-bit Windows.
bool RunsOn64BitWindows();

} // namespace sim
