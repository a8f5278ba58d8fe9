#include "ConfigText.h"

#include <climits>

namespace plug {

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
