// Fuzz input read as text: every two bytes one UTF-16 unit, low byte first; an odd last byte is
// left out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline std::wstring Utf16Text(const uint8_t* data, size_t size)
{
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    return text;
}
