// The repair tool's command line is outside data: parse any bytes as UTF-16 text.
#include "autoplay/AutoplayPolicy.h"
#include "autoplay/AutosetArgument.h"
#include "fuzz/FuzzText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text = Utf16Text(data, size);
    text.resize(text.find(L'\0') == std::wstring::npos ? text.size()
                                                       : text.find(L'\0')); // a command line ends at its zero

    unsigned bits = plug::ParseAutosetCommandLine(text.c_str());
    if (bits == 0)
        return 0;
    if ((bits & ~plug::AUTOSET_ALL_BITS) != 0)
        __builtin_trap();
    // Only the one canonical argument, with nothing but blanks and tabs around it, is accepted.
    std::wstring argument = plug::FormatAutosetArgument(bits);
    size_t at = text.find(argument);
    if (at == std::wstring::npos)
        __builtin_trap();
    std::wstring rest = text.substr(0, at) + text.substr(at + argument.size());
    if (rest.find_first_not_of(L" \t") != std::wstring::npos)
        __builtin_trap();
    return 0;
}
