// Version texts come from config.ini, the registry and version resources: compare any two texts.
// The comparison must be a strict order: never both a < b and b < a, never a < a.
#include "detect/VersionText.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first byte splits the rest into the two texts, each two bytes a UTF-16 unit.
    if (size == 0)
        return 0;
    std::wstring texts[2];
    size_t split = 1 + (size > 1 ? data[0] % (size - 1) : 0);
    for (size_t i = 1; i + 1 < size; i += 2)
        texts[i < split ? 0 : 1].push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));

    const std::wstring& a = texts[0];
    const std::wstring& b = texts[1];
    bool aOlder = plug::IsNewerVersion(a, b);
    bool bOlder = plug::IsNewerVersion(b, a);
    if (aOlder && bOlder)
        __builtin_trap();
    if (plug::IsNewerVersion(a, a))
        __builtin_trap();
    // Equal readings compare equal both ways.
    if (plug::ReadVersion(a) == plug::ReadVersion(b) && (aOlder || bOlder))
        __builtin_trap();
    std::wstring filtered = plug::FilterVersionString(a);
    if (filtered.size() > a.size())
        __builtin_trap();
    return 0;
}
