#include "AutosetCommandLine.h"

#include "AutoplayPolicy.h"

namespace plug {

namespace {

const wchar_t kPrefix[] = L"autoset-";

bool IsSeparator(wchar_t c) { return c == L' ' || c == L'\t'; }

// The decimal number spelled by [digits, end), or 0 when it is empty, has a leading zero, holds
// anything but digits or exceeds the largest sum of the tool's bits.
unsigned ParseBits(const wchar_t* digits, const wchar_t* end)
{
    if (digits == end || *digits == L'0')
        return 0;
    unsigned value = 0;
    for (const wchar_t* c = digits; c != end; ++c) {
        if (*c < L'0' || *c > L'9')
            return 0;
        value = value * 10 + static_cast<unsigned>(*c - L'0');
        if (value > AUTOSET_ALL_BITS) // stops long before an overflow
            return 0;
    }
    return value;
}

} // namespace

unsigned ParseAutosetCommandLine(const wchar_t* commandLine)
{
    const wchar_t* first = commandLine;
    while (IsSeparator(*first))
        ++first;
    const wchar_t* end = first;
    while (*end)
        ++end;
    while (end > first && IsSeparator(end[-1]))
        --end;
    for (const wchar_t* prefix = kPrefix; *prefix; ++prefix, ++first) {
        if (first == end || *first != *prefix)
            return 0;
    }
    unsigned bits = ParseBits(first, end);
    return (bits & ~AUTOSET_ALL_BITS) == 0 ? bits : 0;
}

} // namespace plug
