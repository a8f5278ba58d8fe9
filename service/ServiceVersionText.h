// Version texts of the service executable. Portable: no Windows headers.
#pragma once

#include "ServiceIdentity.h"

#include <string>

namespace plug {

// A version text with every "," turned into "." and every blank removed ("1, 0, 2, 5" gives
// "1.0.2.5"), as version resources sometimes write them.
std::wstring NormalizeServiceVersionText(std::wstring text);

// TRUE when path names the service executable, whatever the letter case (ASCII).
bool NamesServiceExecutable(const std::wstring& path);

} // namespace plug
