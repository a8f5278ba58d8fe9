// Which translation of a version resource's string tables to read. Portable: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plug {

// The index of the entry of a version resource's translation table (32-bit entries: language
// in the low word, code page in the high word) whose strings are read, by the first rule that
// finds one: the user's language; the user's primary language (low byte); language 0, then low
// byte 0; language 9 (English), then low byte 9; else the first entry. count must be at least 1.
size_t ChooseTranslation(const uint32_t* entries, size_t count, uint16_t userLanguage);

} // namespace plug
