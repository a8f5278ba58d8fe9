#include "AutosetArgument.h"

namespace plug {

std::wstring FormatAutosetArgument(unsigned toolBits) { return L"autoset-" + std::to_wstring(toolBits); }

} // namespace plug
