// Registry keys and values a test makes or changes, put back when it ends: keys that did not
// exist before are removed; values that the test set, deleted or saved get their former type
// and data back (or are removed again when they did not exist).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace plugtest {

class ScopedRegistry {
public:
    ScopedRegistry() = default;
    ~ScopedRegistry();
    ScopedRegistry(const ScopedRegistry&) = delete;
    ScopedRegistry& operator=(const ScopedRegistry&) = delete;

    // Takes over root\path, which the test or the code under test is about to create: the
    // first of its ancestors that is missing now is removed, with everything in it, at the end.
    void Claim(HKEY root, const std::wstring& path);
    // Creates root\path with its parents.
    void CreateKey(HKEY root, const std::wstring& path);
    void SetString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value);
    void SetDWORD(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value);
    void DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name);
    // Remembers the value as it is now, for a value that the code under test may change (the
    // first call for a value counts). Its key, if missing now, is claimed.
    void SaveValue(HKEY root, const std::wstring& path, const std::wstring& name);
    // Removes root\path with everything in it now.
    static void DeleteTree(HKEY root, const std::wstring& path);
    static bool KeyExists(HKEY root, const std::wstring& path);

private:
    struct ClaimedKey {
        HKEY root;
        std::wstring path;
    };
    struct SavedValue {
        HKEY root;
        std::wstring path;
        std::wstring name;
        bool existed;
        DWORD type;
        std::vector<BYTE> data;
    };
    void RestoreValue(const SavedValue& saved);

    std::vector<ClaimedKey> m_claimed;
    std::vector<SavedValue> m_saved;
};

// Reads a string value (REG_SZ or REG_EXPAND_SZ) directly; empty when it cannot be read.
std::wstring ReadRegistryString(HKEY root, const std::wstring& path, const std::wstring& name);
// Reads a DWORD value directly; false when it is missing or not a DWORD.
bool ReadRegistryDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD* value);
bool RegistryValueExists(HKEY root, const std::wstring& path, const std::wstring& name);

} // namespace plugtest
