// Replacing text in text. Portable: no Windows headers.
#pragma once

#include <string>

namespace plug {

// text with every occurrence of from replaced by to, left to right; what a replacement put in is
// not searched again. An empty from changes nothing.
std::wstring ReplaceAll(std::wstring text, const std::wstring& from, const std::wstring& to);

} // namespace plug
