#include "ScopedRegistry.h"

#include "framework/Handle.h"
#include "framework/StringFormat.h"
#include "sim/programs/RegistryTools.h"

#include <shlwapi.h>

namespace plugtest {

namespace {
bool IsInside(const std::wstring& path, const std::wstring& ancestor)
{
    if (path.size() < ancestor.size())
        return false;
    if (!plug::EqualsNoCase(path.substr(0, ancestor.size()), ancestor))
        return false;
    return path.size() == ancestor.size() || path[ancestor.size()] == L'\\';
}
} // namespace

ScopedRegistry::~ScopedRegistry()
{
    for (auto saved = m_saved.rbegin(); saved != m_saved.rend(); ++saved)
        RestoreValue(*saved);
    for (auto claimed = m_claimed.rbegin(); claimed != m_claimed.rend(); ++claimed)
        DeleteTree(claimed->root, claimed->path);
}

bool ScopedRegistry::KeyExists(HKEY root, const std::wstring& path) { return sim::KeyExists(root, path); }

void ScopedRegistry::DeleteTree(HKEY root, const std::wstring& path) { sim::DeleteKeyTree(root, path); }

void ScopedRegistry::Claim(HKEY root, const std::wstring& path)
{
    for (size_t end = path.find(L'\\');; end = path.find(L'\\', end + 1)) {
        std::wstring ancestor = path.substr(0, end);
        if (!KeyExists(root, ancestor)) {
            for (const ClaimedKey& claimed : m_claimed) {
                if (claimed.root == root && IsInside(ancestor, claimed.path))
                    return;
            }
            m_claimed.push_back({root, ancestor});
            return;
        }
        if (end == std::wstring::npos)
            return;
    }
}

void ScopedRegistry::CreateKey(HKEY root, const std::wstring& path)
{
    Claim(root, path);
    plug::UniqueHKey key;
    ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(), nullptr);
}

void ScopedRegistry::SaveValue(HKEY root, const std::wstring& path, const std::wstring& name)
{
    for (const SavedValue& saved : m_saved) {
        if (saved.root == root && plug::EqualsNoCase(saved.path, path) && plug::EqualsNoCase(saved.name, name))
            return;
    }
    Claim(root, path);
    SavedValue saved{root, path, name, false, REG_NONE, {}};
    plug::UniqueHKey key;
    DWORD size = 0;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS &&
        ::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &saved.type, nullptr, &size) == ERROR_SUCCESS) {
        saved.data.resize(size);
        saved.existed = ::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &saved.type,
                                           saved.data.empty() ? nullptr : saved.data.data(), &size) == ERROR_SUCCESS;
        saved.data.resize(size);
    }
    m_saved.push_back(saved);
}

void ScopedRegistry::RestoreValue(const SavedValue& saved)
{
    if (!saved.existed) {
        ::SHDeleteValueW(saved.root, saved.path.c_str(), saved.name.c_str());
        return;
    }
    ::SHSetValueW(saved.root, saved.path.c_str(), saved.name.c_str(), saved.type,
                  saved.data.empty() ? nullptr : saved.data.data(), static_cast<DWORD>(saved.data.size()));
}

void ScopedRegistry::DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name)
{
    SaveValue(root, path, name);
    ::SHDeleteValueW(root, path.c_str(), name.c_str());
}

void ScopedRegistry::SetString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value)
{
    SaveValue(root, path, name);
    ::SHSetValueW(root, path.c_str(), name.c_str(), REG_SZ, value.c_str(),
                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void ScopedRegistry::SetDWORD(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value)
{
    SaveValue(root, path, name);
    ::SHSetValueW(root, path.c_str(), name.c_str(), REG_DWORD, &value, sizeof(value));
}

std::wstring ReadRegistryString(HKEY root, const std::wstring& path, const std::wstring& name)
{
    return sim::ReadRegistryText(root, path, name.c_str());
}

bool ReadRegistryDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD* value)
{
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (::SHGetValueW(root, path.c_str(), name.c_str(), &type, &data, &size) != ERROR_SUCCESS || type != REG_DWORD)
        return false;
    *value = data;
    return true;
}

bool RegistryValueExists(HKEY root, const std::wstring& path, const std::wstring& name)
{
    DWORD size = 0;
    return ::SHGetValueW(root, path.c_str(), name.c_str(), nullptr, nullptr, &size) == ERROR_SUCCESS;
}

} // namespace plugtest
