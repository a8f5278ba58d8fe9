// Version texts: dotted decimal fields as config.ini, the registry and version resources hold
// them. Portable: no Windows headers.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace plug {

using VersionFields = std::array<uint32_t, 4>;

// The decimal value of a field the way the C library reads an int (leading white space, an
// optional sign, digits; no digits read as 0; out of range saturates), taken as unsigned, so
// that -1 reads as 4294967295.
uint32_t VersionFieldValue(const std::wstring& field);

// Appends ".0" once when the text has fewer than three dots before the first empty field (a
// text starting with a dot counts none), then removes every space.
std::wstring NormaliseVersionText(const std::wstring& text);

// The four numbers of a normalised text: the first three fields end at a dot, the fourth
// takes the rest (so 1.2.3.4.5 reads as 1.2.3.4); missing fields read as 0.
VersionFields SplitVersionText(const std::wstring& normalised);

// The four numbers of any version text: 1.2 reads as 1.2.0.0, 1..2 as 1.0.2.0, "" as 0.0.0.0.
VersionFields ReadVersion(const std::wstring& text);

// True when newVersion is greater than oldVersion, field by field.
bool IsNewerVersion(const std::wstring& oldVersion, const std::wstring& newVersion);

// A version string as a version resource may hold it ("2, 1, 0, 7 (beta)"), reduced to its
// digits and dots; empty when no dot remains.
std::wstring FilterVersionString(const std::wstring& text);

} // namespace plug
