// The version a stand-in gives the files it installs: a copy of a file built with a placeholder
// version resource, stamped with the scripted version. Pure functions on bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace sim {

using FileVersion = std::array<std::uint16_t, 4>;

// The placeholder "FileVersion" and "ProductVersion" string of a stampable file: as wide as the
// widest version (four fields of 65535).
constexpr wchar_t kVersionPlaceholder[] = L"00000.00000.00000.00000";

// Reads "a.b.c.d" (one to four dot-separated decimal fields, each at most 65535; missing fields
// are 0). False for anything else: blanks, signs, empty fields, more than four fields.
bool ParseFileVersion(const std::wstring& text, FileVersion* version);

// "a.b.c.d".
std::wstring FileVersionText(const FileVersion& version);

// The version a setup installs: that of every file it writes, and the text of its uninstall
// entry's "DisplayVersion" (no such value unless writeDisplayVersion).
struct VersionScript {
    FileVersion fileVersion = {1, 0, 0, 0};
    bool writeDisplayVersion = true;
    std::wstring displayVersion;
};

// Sets the file and product version of the version resource in bytes (an image file): the fixed
// block's four numbers and, inside the same resource, every placeholder string (the text is
// written over it and the rest filled with zeros). False, with bytes unchanged, when bytes hold
// no well-formed version resource.
bool StampFileVersion(std::string* bytes, const FileVersion& version);

} // namespace sim
