#include "TestFiles.h"

#include "config/Language.h"
#include "framework/Handle.h"
#include "sim/programs/FileTools.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace plugtest {

TempDir::TempDir()
{
    wchar_t base[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, base);
    static LONG counter = 0;
    for (;;) {
        wchar_t name[64];
        swprintf(name, 64, L"plugtest_%lu_%ld\\", ::GetCurrentProcessId(), ::InterlockedIncrement(&counter));
        m_path = std::wstring(base) + name;
        if (::CreateDirectoryW(m_path.c_str(), nullptr))
            break;
    }
}

TempDir::~TempDir() { RemoveTree(m_path); }

ScopedFile::ScopedFile(std::wstring path) : m_path(std::move(path)) { RemoveFileForced(m_path); }
ScopedFile::~ScopedFile() { RemoveFileForced(m_path); }

void RemoveFileForced(const std::wstring& path) { sim::DeleteFileForced(path); }

void RemoveTree(const std::wstring& folder)
{
    std::wstring base = folder;
    if (!base.empty() && base.back() != L'\\')
        base += L'\\';
    WIN32_FIND_DATAW entry;
    HANDLE find = ::FindFirstFileW((base + L"*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(base + name);
            else
                RemoveFileForced(base + name);
        } while (::FindNextFileW(find, &entry));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(base.c_str());
}

bool PathExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

namespace {

void AddTreeEntries(const std::wstring& folder, const std::wstring& prefix, std::vector<std::wstring>* found)
{
    WIN32_FIND_DATAW entry;
    plug::UniqueFind search(::FindFirstFileW((folder + prefix + L"*").c_str(), &entry));
    if (!search)
        return;
    do {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            found->push_back(prefix + name + L"\\");
            AddTreeEntries(folder, prefix + name + L"\\", found);
        } else {
            found->push_back(prefix + name);
        }
    } while (::FindNextFileW(search.Get(), &entry));
}

} // namespace

std::vector<std::wstring> TreeEntries(const std::wstring& folder)
{
    std::vector<std::wstring> found;
    AddTreeEntries(folder, L"", &found);
    std::sort(found.begin(), found.end());
    return found;
}

void CreateFolders(const std::wstring& folder)
{
    for (size_t at = folder.find(L'\\', 3); at != std::wstring::npos; at = folder.find(L'\\', at + 1))
        ::CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
    ::CreateDirectoryW(folder.c_str(), nullptr);
}

void WriteBinaryFile(const std::wstring& path, const std::string& bytes) { sim::WriteWholeFile(path, bytes); }

// Shared for writing too: a reader that polls a log must not make a writer's open fail (the
// stand-ins drop a line they cannot open their log for).
std::string ReadBinaryFile(const std::wstring& path) { return sim::ReadWholeFile(path); }

void WriteUtf16File(const std::wstring& path, const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        if (c == L'\n') {
            bytes.append("\r\0", 2);
        }
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    WriteBinaryFile(path, bytes);
}

std::wstring ProfileText(const std::wstring& section, const std::map<std::wstring, std::wstring>& values)
{
    std::wstring text = L"[" + section + L"]\n";
    for (const auto& value : values)
        text += value.first + L"=" + value.second + L"\n";
    return text;
}

ScopedLanguageFile::ScopedLanguageFile(const std::map<std::wstring, std::wstring>& values)
    : m_path(m_dir.File(L"lang_test.opt")), m_previous(plug::LanguageFilePath())
{
    WriteUtf16File(m_path, ProfileText(L"STRING", values));
    plug::SetLanguageFile(m_path);
}

ScopedLanguageFile::~ScopedLanguageFile() { plug::SetLanguageFile(m_previous); }

std::map<std::wstring, std::wstring> StandardLanguage()
{
    std::map<std::wstring, std::wstring> values;
    values[L"STR_STRING_TITLE"] = L"Test Installer";
    values[L"STR_STRING_BTN_CANCEL"] = L"Cancel";
    values[L"STR_STRING_ERROR_CANNOT_FIND_CONFIG"] = L"no config";
    values[L"STR_STRING_APP_INIT_FAILED_003"] = L"no drive letter";
    return values;
}

} // namespace plugtest
