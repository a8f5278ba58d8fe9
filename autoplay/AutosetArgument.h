// The one argument of the autoplay repair tool, "autoset-N": N is the decimal sum of the
// machine-wide repairs wanted (AUTOSET_* of AutoplayPolicy.h). Portable: no Windows headers.
#pragma once

#include <string>

namespace plug {

// "autoset-" followed by toolBits in decimal.
std::wstring FormatAutosetArgument(unsigned toolBits);

// The N of a tool command line (what follows the program name; blanks and tabs around the
// argument are separators). 0 for anything but exactly one argument "autoset-N" with N written
// in decimal without leading zeros, not 0, and made of AUTOSET_* bits only.
unsigned ParseAutosetCommandLine(const std::wstring& commandLine);

} // namespace plug
