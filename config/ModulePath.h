// The two path queries that every file lookup of the program uses, and making a file writable
// before it is overwritten.
#pragma once

#include <windows.h>

#include <string>

namespace plug {

// The full path of the running executable, or empty when it cannot be obtained.
std::wstring GetModulePath();
// The directory of the running executable with its trailing backslash, or empty when the path
// cannot be obtained or holds no backslash.
std::wstring GetModuleDirectory();

// TRUE when path names a file that can be opened for reading right now (read access, existing
// files only), whoever else has it open with sharing. Directories, and files that another
// program holds open without letting others read, count as missing.
BOOL IsExistFile(const std::wstring& path);

// Drops a read-only attribute of path so that it can be overwritten: archive alone remains.
// Anything else, a missing path included, is left as it is.
void ClearReadOnly(const std::wstring& path);

} // namespace plug
