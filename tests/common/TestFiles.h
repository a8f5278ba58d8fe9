// Files and folders for tests: temporary folders, files removed at the end of a test, and
// language files written the way the device ships them (UTF-16LE with a byte-order mark).
#pragma once

#include <map>
#include <string>
#include <vector>

namespace plugtest {

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // The folder with a trailing backslash.
    const std::wstring& Path() const { return m_path; }
    std::wstring File(const std::wstring& name) const { return m_path + name; }

private:
    std::wstring m_path;
};

// Removes a file (also a read-only one) when the test ends, and once before it starts.
class ScopedFile {
public:
    explicit ScopedFile(std::wstring path);
    ~ScopedFile();
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
};

void RemoveFileForced(const std::wstring& path);
void RemoveTree(const std::wstring& folder);
void CreateFolders(const std::wstring& folder);
// True when a file or folder is at path.
bool PathExists(const std::wstring& path);
// Everything under folder (with its backslash), as sorted paths relative to it; folders end in a
// backslash.
std::vector<std::wstring> TreeEntries(const std::wstring& folder);

// Writes text as UTF-16LE with a byte-order mark and CRLF line ends.
void WriteUtf16File(const std::wstring& path, const std::wstring& text);
// Writes bytes as they are.
void WriteBinaryFile(const std::wstring& path, const std::string& bytes);
std::string ReadBinaryFile(const std::wstring& path);

// The text of a profile file with one section.
std::wstring ProfileText(const std::wstring& section, const std::map<std::wstring, std::wstring>& values);

// Writes a language file with the given keys and makes it the program's language file while
// it lives.
class ScopedLanguageFile {
public:
    explicit ScopedLanguageFile(const std::map<std::wstring, std::wstring>& values);
    ~ScopedLanguageFile();
    ScopedLanguageFile(const ScopedLanguageFile&) = delete;
    ScopedLanguageFile& operator=(const ScopedLanguageFile&) = delete;
    const std::wstring& Path() const { return m_path; }

private:
    TempDir m_dir;
    std::wstring m_path;
    std::wstring m_previous;
};

// The English texts of the keys the tests look for, for a ScopedLanguageFile.
std::map<std::wstring, std::wstring> StandardLanguage();

} // namespace plugtest
