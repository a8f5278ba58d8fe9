// Language strings: every text the user sees is looked up by key in the language file.
#pragma once

#include <string>
#include <vector>

namespace plug {

// The relative name of the language file for the user's default language. Does not check that
// the file exists.
std::wstring SelectLanguageFile();

// Stores the full path of the language file for all later lookups (set once, at start-up). Texts
// kept from another file are dropped.
void SetLanguageFile(const std::wstring& fullPath);
const std::wstring& LanguageFilePath();

// The text of key in section STRING of the language file, at most 2047 characters, with its
// escapes expanded; empty when the key or the file is missing. A kept text is answered from memory.
std::wstring GetLanguageString(const std::wstring& key);

// Reads the texts of keys now and keeps them for every later lookup: for the texts needed after
// the language file has gone (it lies on the device's CD, which goes away at the mode change).
void KeepLanguageStrings(const std::vector<std::wstring>& keys);

} // namespace plug
