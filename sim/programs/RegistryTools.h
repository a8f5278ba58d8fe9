// The few registry operations of the stand-ins, on the registry view of the running process (no
// view flags, like the program that reads what they write).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sim {

bool KeyExists(HKEY root, const std::wstring& path);
// True when the key exists and holds neither values nor subkeys.
bool KeyIsBare(HKEY root, const std::wstring& path);
std::vector<std::wstring> SubkeyNames(HKEY root, const std::wstring& path);
// The string value, or empty when it cannot be read.
std::wstring ReadRegistryText(HKEY root, const std::wstring& path, const wchar_t* name);
// Removes the key with everything in it; true when it is gone afterwards.
bool DeleteKeyTree(HKEY root, const std::wstring& path);

// The first number n for which the class key has no subkey "%04d": where a new driver instance
// of the class is appended.
int FirstFreeClassNumber(HKEY root, const std::wstring& classKey);
std::wstring ClassEntryName(int number);

// "HKLM" or "HKCU" and back; other roots are not used.
const wchar_t* RootName(HKEY root);
bool RootFromName(const std::wstring& name, HKEY* root);

} // namespace sim
