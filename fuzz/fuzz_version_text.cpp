// Version texts come from config.ini, the registry and version resources: compare any two texts.
// The comparison must be a strict order: never both a < b and b < a, never a < a.
#include "version/VersionText.h"
#include "fuzz/FuzzText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first byte splits the rest into the two texts, at a whole unit.
    if (size == 0)
        return 0;
    size_t split = 1 + (size > 1 ? data[0] % (size - 1) : 0);
    size_t firstBytes = split / 2 * 2;
    const std::wstring a = Utf16Text(data + 1, firstBytes);
    const std::wstring b = Utf16Text(data + 1 + firstBytes, size - 1 - firstBytes);
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
