#include "ConfigText.h"

#include <climits>

namespace plug {

std::wstring DecimalText(long long value)
{
    // Digits from the last; the magnitude as unsigned, so that the smallest value has one too.
    unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                             : static_cast<unsigned long long>(value);
    wchar_t digits[24];
    size_t first = sizeof(digits) / sizeof(digits[0]);
    do {
        digits[--first] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        digits[--first] = L'-';
    return std::wstring(digits + first, digits + sizeof(digits) / sizeof(digits[0]));
}

int LeadingDigitsToInt(const std::wstring& text)
{
    long long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            break;
        value = value * 10 + (c - L'0');
        if (value > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(value);
}

} // namespace plug
