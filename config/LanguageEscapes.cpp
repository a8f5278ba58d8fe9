#include "LanguageEscapes.h"

#include "TextReplace.h"

namespace plug {

std::wstring ExpandLanguageEscapes(std::wstring text)
{
    text = ReplaceAll(text, L"[_sp]", L" ");
    text = ReplaceAll(text, L"\\r", L"\r");
    text = ReplaceAll(text, L"\\n", L"\n");
    return ReplaceAll(text, L"\\'", L"'");
}

} // namespace plug
