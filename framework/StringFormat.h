// printf-style formatting into std::wstring, and the UTF-8 / ANSI conversions the program needs.
#pragma once

#include <string>

namespace plug {

// Formats like the system's _snwprintf (msvcrt). Use %ls for wide strings and %hs for narrow
// ones, which mean the same in every printf family; %I64u for a 64-bit number.
std::wstring FormatString(const wchar_t* format, ...);

std::string ToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);

// Lower-cases with the system's rules (CharLowerBuffW), for case-insensitive comparisons.
std::wstring ToLower(std::wstring text);
bool EqualsNoCase(const std::wstring& a, const std::wstring& b);

} // namespace plug
