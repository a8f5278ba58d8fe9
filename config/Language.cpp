#include "Language.h"

#include "LanguageEscapes.h"
#include "LanguageTable.h"

#include <windows.h>

namespace plug {

namespace {
std::wstring g_languageFile;
}

std::wstring SelectLanguageFile()
{
    return LanguageFileForLangId(::GetUserDefaultLangID());
}

void SetLanguageFile(const std::wstring& fullPath) { g_languageFile = fullPath; }

const std::wstring& LanguageFilePath() { return g_languageFile; }

std::wstring GetLanguageString(const std::wstring& key)
{
    const DWORD kCapacity = 2048;
    wchar_t value[kCapacity] = {};
    DWORD length = ::GetPrivateProfileStringW(L"STRING", key.c_str(), L"", value, kCapacity, g_languageFile.c_str());
    if (length >= kCapacity)
        length = kCapacity - 1;
    return ExpandLanguageEscapes(std::wstring(value, length));
}

} // namespace plug
