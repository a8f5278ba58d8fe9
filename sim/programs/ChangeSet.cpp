#include "ChangeSet.h"

#include "FileTools.h"
#include "InstallRecord.h"
#include "RegistryTools.h"

namespace sim {

bool ChangeSet::CreateKey(HKEY root, const std::wstring& path, plug::UniqueHKey* leaf)
{
    for (size_t end = path.find(L'\\');; end = path.find(L'\\', end + 1)) {
        std::wstring level = path.substr(0, end);
        plug::UniqueHKey key;
        DWORD disposition = 0;
        if (::RegCreateKeyExW(root, level.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key.Put(),
                              &disposition) != ERROR_SUCCESS)
            return false;
        if (disposition == REG_CREATED_NEW_KEY)
            m_keys.push_back({root, level});
        if (end == std::wstring::npos) {
            if (leaf)
                *leaf = std::move(key);
            return true;
        }
    }
}

bool ChangeSet::SetString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value)
{
    plug::UniqueHKey key;
    if (!CreateKey(root, path, &key))
        return false;
    return ::RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool ChangeSet::CreateFolder(const std::wstring& folder)
{
    // From the first folder below the drive's root ("C:\x") downwards.
    for (size_t end = folder.find(L'\\', 3);; end = folder.find(L'\\', end + 1)) {
        std::wstring level = folder.substr(0, end);
        if (!level.empty() && !IsFolder(level)) {
            if (!::CreateDirectoryW(level.c_str(), nullptr))
                return false;
            m_folders.push_back(level);
        }
        if (end == std::wstring::npos || end + 1 == folder.size())
            return IsFolder(folder);
    }
}

bool ChangeSet::WriteFile(const std::wstring& path, const std::string& bytes)
{
    if (!CreateFolder(ParentOf(path)))
        return false;
    bool isNew = !PathExists(path);
    if (!WriteWholeFile(path, bytes))
        return false;
    if (isNew)
        m_files.push_back(path);
    return true;
}

void ChangeSet::Undo()
{
    for (auto file = m_files.rbegin(); file != m_files.rend(); ++file)
        DeleteFileForced(*file);
    // Parents were made before their children: the first made key of a chain takes the rest with it.
    for (const MadeKey& key : m_keys)
        DeleteKeyTree(key.root, key.path);
    for (auto folder = m_folders.rbegin(); folder != m_folders.rend(); ++folder)
        ::RemoveDirectoryW(folder->c_str());
    m_files.clear();
    m_keys.clear();
    m_folders.clear();
}

void ChangeSet::Record() const
{
    std::vector<RecordEntry> entries;
    for (const MadeKey& key : m_keys)
        entries.push_back({RecordEntry::Kind::Key, key.root, key.path});
    for (const std::wstring& folder : m_folders)
        entries.push_back({RecordEntry::Kind::Folder, nullptr, folder});
    AddToInstallRecord(entries);
}

} // namespace sim
