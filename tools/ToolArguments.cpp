#include "ToolArguments.h"

namespace plug {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

} // namespace

const wchar_t* ToolArguments(const wchar_t* commandLine)
{
    const wchar_t* at = commandLine;
    if (*at == L'"') {
        ++at;
        while (*at && *at != L'"')
            ++at;
        if (*at == L'"')
            ++at;
    }
    while (*at && !IsBlank(*at))
        ++at;
    while (IsBlank(*at))
        ++at;
    return at;
}

} // namespace plug
