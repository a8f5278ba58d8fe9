#include "TranslationChoice.h"

namespace plug {

namespace {

constexpr size_t kNotFound = static_cast<size_t>(-1);

uint16_t LanguageOf(uint32_t entry) { return static_cast<uint16_t>(entry & 0xFFFF); }

// The first entry whose language is language, else the first whose language's low byte is
// that of language.
size_t FindLanguage(const uint32_t* entries, size_t count, uint16_t language)
{
    for (size_t index = 0; index < count; ++index) {
        if (LanguageOf(entries[index]) == language)
            return index;
    }
    for (size_t index = 0; index < count; ++index) {
        if ((LanguageOf(entries[index]) & 0xFF) == (language & 0xFF))
            return index;
    }
    return kNotFound;
}

} // namespace

size_t ChooseTranslation(const uint32_t* entries, size_t count, uint16_t userLanguage)
{
    const uint16_t languages[] = {userLanguage, 0x0000, 0x0009};
    for (uint16_t language : languages) {
        size_t found = FindLanguage(entries, count, language);
        if (found != kNotFound)
            return found;
    }
    return 0;
}

} // namespace plug
