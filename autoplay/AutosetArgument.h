// The one argument of the autoplay repair tool, "autoset-N": N is the decimal sum of the
// machine-wide repairs wanted (AUTOSET_* of AutoplayPolicy.h). Portable: no Windows headers.
#pragma once

#include "AutosetCommandLine.h"

#include <string>

namespace plug {

// "autoset-" followed by toolBits in decimal; ParseAutosetCommandLine reads it back.
std::wstring FormatAutosetArgument(unsigned toolBits);

} // namespace plug
