// The repair tool's command line: "autoset-N" alone. Portable (no Windows headers) and free of
// the C++ library, so that the tool, which links no runtime, can read it.
#pragma once

namespace plug {

// The N of a tool command line (what follows the program name, up to its terminating zero;
// blanks and tabs around the argument are separators). 0 for anything but exactly one argument
// "autoset-N" with N written in decimal without leading zeros, not 0, and made of AUTOSET_* bits
// only (AutoplayPolicy.h).
unsigned ParseAutosetCommandLine(const wchar_t* commandLine);

} // namespace plug
