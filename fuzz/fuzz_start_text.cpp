// Command lines and language-file values are outside data: parse any bytes as UTF-16 text.
#include "app/CommandLine.h"
#include "config/ConfigText.h"
#include "config/LanguageEscapes.h"
#include "fuzz/FuzzText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text = Utf16Text(data, size);

    plug::StartArguments start = plug::ParseStartArguments(text);
    if (start.pcStart && !start.letterMissing && start.driveLetter.size() != 1)
        __builtin_trap();
    if (!start.pcStart && !start.argument.empty())
        __builtin_trap();

    std::wstring expanded = plug::ExpandLanguageEscapes(text);
    if (expanded.size() > text.size()) // every escape shortens the text
        __builtin_trap();

    if (plug::LeadingDigitsToInt(text) < 0)
        __builtin_trap();
    return 0;
}
