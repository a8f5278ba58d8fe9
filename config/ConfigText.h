// How configuration values are read as numbers. Portable: no Windows headers.
#pragma once

#include <string>

namespace plug {

// The integer formed by the leading decimal digits of text ("3abc" gives 3, "abc" and "" give 0).
// There is no sign; values beyond the int range saturate at its maximum.
int LeadingDigitsToInt(const std::wstring& text);

// The decimal text of value ("-12", "0", "4096"), as std::to_wstring gives it; written by hand,
// because std::to_wstring brings MinGW's whole printf (some 20 KB) into a program.
std::wstring DecimalText(long long value);

} // namespace plug
