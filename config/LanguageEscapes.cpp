#include "LanguageEscapes.h"

namespace plug {

namespace {
void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    std::wstring result;
    result.reserve(text.size());
    size_t start = 0;
    for (size_t found = text.find(from); found != std::wstring::npos; found = text.find(from, start)) {
        result.append(text, start, found - start);
        result.append(to);
        start = found + from.size();
    }
    result.append(text, start, std::wstring::npos);
    text.swap(result);
}
} // namespace

std::wstring ExpandLanguageEscapes(std::wstring text)
{
    ReplaceAll(text, L"[_sp]", L" ");
    ReplaceAll(text, L"\\r", L"\r");
    ReplaceAll(text, L"\\n", L"\n");
    ReplaceAll(text, L"\\'", L"'");
    return text;
}

} // namespace plug
