// What one setup run changes: it creates keys, values, folders and files through a ChangeSet,
// which remembers every key, folder and file that did not exist before, so that a failed run can
// be undone and a remover can later take away the folders and keys it leaves empty.
#pragma once

#include "framework/Handle.h"

#include <windows.h>

#include <string>
#include <vector>

namespace sim {

struct MadeKey {
    HKEY root;
    std::wstring path;
};

class ChangeSet {
public:
    // Creates root\path and every missing key above it; *leaf, when given, receives root\path
    // opened for reading and writing.
    bool CreateKey(HKEY root, const std::wstring& path, plug::UniqueHKey* leaf = nullptr);
    // Creates the key when needed and sets a string value.
    bool SetString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value);
    // Creates a folder and every missing folder above it.
    bool CreateFolder(const std::wstring& folder);
    // Writes a file (creating its folder), replacing one that is there.
    bool WriteFile(const std::wstring& path, const std::string& bytes);

    // Takes away the files, keys and folders this run created, as far as they are its own.
    void Undo();
    // Adds the keys and folders this run created to the record of the stand-ins.
    void Record() const;

private:
    std::vector<MadeKey> m_keys;         // in the order made: parents first
    std::vector<std::wstring> m_folders; // likewise
    std::vector<std::wstring> m_files;
};

} // namespace sim
