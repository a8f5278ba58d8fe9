#include "Language.h"

#include "LanguageEscapes.h"
#include "LanguageTable.h"

#include <windows.h>

#include <map>
#include <mutex>

namespace plug {

namespace {

std::wstring g_languageFile;
// Texts read ahead of need, by key; the worker and the window's thread may both look up texts.
std::mutex g_keptLock;
std::map<std::wstring, std::wstring> g_kept;

std::wstring ReadLanguageString(const std::wstring& key)
{
    const DWORD kCapacity = 2048;
    wchar_t value[kCapacity] = {};
    DWORD length = ::GetPrivateProfileStringW(L"STRING", key.c_str(), L"", value, kCapacity, g_languageFile.c_str());
    if (length >= kCapacity)
        length = kCapacity - 1;
    return ExpandLanguageEscapes(std::wstring(value, length));
}

} // namespace

std::wstring SelectLanguageFile() { return LanguageFileForLangId(::GetUserDefaultLangID()); }

void SetLanguageFile(const std::wstring& fullPath)
{
    std::lock_guard<std::mutex> guard(g_keptLock);
    g_kept.clear();
    g_languageFile = fullPath;
}

const std::wstring& LanguageFilePath() { return g_languageFile; }

std::wstring GetLanguageString(const std::wstring& key)
{
    {
        std::lock_guard<std::mutex> guard(g_keptLock);
        auto kept = g_kept.find(key);
        if (kept != g_kept.end())
            return kept->second;
    }
    return ReadLanguageString(key);
}

void KeepLanguageStrings(const std::vector<std::wstring>& keys)
{
    for (const std::wstring& key : keys) {
        std::wstring text = ReadLanguageString(key);
        std::lock_guard<std::mutex> guard(g_keptLock);
        g_kept[key] = text;
    }
}

} // namespace plug
