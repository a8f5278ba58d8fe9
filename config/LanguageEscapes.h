// The escapes of language-file values. Portable: no Windows headers.
#pragma once

#include <string>

namespace plug {

// Expands, in this order: "[_sp]" to a blank, backslash-r to CR, backslash-n to LF, and
// backslash-apostrophe to an apostrophe. Each pass works on the result of the one before.
std::wstring ExpandLanguageEscapes(std::wstring text);

} // namespace plug
