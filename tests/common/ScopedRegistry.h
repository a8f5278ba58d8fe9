// Registry keys and values a test makes, removed when it ends. Only keys that did not exist
// before are removed, so keys that the prefix itself holds stay.
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
    // Removes root\path with everything in it now.
    static void DeleteTree(HKEY root, const std::wstring& path);
    static bool KeyExists(HKEY root, const std::wstring& path);

private:
    struct ClaimedKey {
        HKEY root;
        std::wstring path;
    };
    std::vector<ClaimedKey> m_claimed;
};

// Reads a string value directly; empty when it cannot be read.
std::wstring ReadRegistryString(HKEY root, const std::wstring& path, const std::wstring& name);

} // namespace plugtest
