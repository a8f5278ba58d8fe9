// How configuration values are read as numbers. Portable: no Windows headers.
#pragma once

#include <string>

namespace plug {

// The integer formed by the leading decimal digits of text ("3abc" gives 3, "abc" and "" give 0).
// There is no sign; values beyond the int range saturate at its maximum.
int LeadingDigitsToInt(const std::wstring& text);

} // namespace plug
