#include "AutosetArgument.h"

#include "config/ConfigText.h"

namespace plug {

std::wstring FormatAutosetArgument(unsigned toolBits) { return L"autoset-" + DecimalText(toolBits); }

} // namespace plug
