#include "AutosetArgument.h"

#include "AutoplayPolicy.h"

namespace plug {

namespace {

const wchar_t kPrefix[] = L"autoset-";
constexpr size_t kPrefixLength = sizeof(kPrefix) / sizeof(kPrefix[0]) - 1;

bool IsSeparator(wchar_t c) { return c == L' ' || c == L'\t'; }

// The decimal number that digits spells, or 0 when it is empty, has a leading zero, holds
// anything but digits or exceeds the largest sum of the tool's bits.
unsigned ParseBits(const std::wstring& digits)
{
    if (digits.empty() || digits[0] == L'0')
        return 0;
    unsigned value = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9')
            return 0;
        value = value * 10 + static_cast<unsigned>(c - L'0');
        if (value > AUTOSET_ALL_BITS) // stops long before an overflow
            return 0;
    }
    return value;
}

} // namespace

std::wstring FormatAutosetArgument(unsigned toolBits) { return kPrefix + std::to_wstring(toolBits); }

unsigned ParseAutosetCommandLine(const std::wstring& commandLine)
{
    size_t first = 0;
    size_t end = commandLine.size();
    while (first < end && IsSeparator(commandLine[first]))
        ++first;
    while (end > first && IsSeparator(commandLine[end - 1]))
        --end;
    std::wstring argument = commandLine.substr(first, end - first);
    if (argument.compare(0, kPrefixLength, kPrefix) != 0)
        return 0;
    unsigned bits = ParseBits(argument.substr(kPrefixLength));
    return (bits & ~AUTOSET_ALL_BITS) == 0 ? bits : 0;
}

} // namespace plug
