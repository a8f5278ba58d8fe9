#include "RegistryTools.h"

#include "framework/Handle.h"
#include "framework/StringFormat.h"

#include <shlwapi.h>

namespace sim {

bool KeyExists(HKEY root, const std::wstring& path)
{
    plug::UniqueHKey key;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

bool KeyIsBare(HKEY root, const std::wstring& path)
{
    plug::UniqueHKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 0;
    DWORD values = 0;
    if (::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return subkeys == 0 && values == 0;
}

std::vector<std::wstring> SubkeyNames(HKEY root, const std::wstring& path)
{
    std::vector<std::wstring> names;
    plug::UniqueHKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        if (::RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return names;
        names.emplace_back(name, length);
    }
}

std::wstring ReadRegistryText(HKEY root, const std::wstring& path, const wchar_t* name)
{
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    if (::SHGetValueW(root, path.c_str(), name, &type, buffer, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring();
    return buffer;
}

bool DeleteKeyTree(HKEY root, const std::wstring& path)
{
    ::SHDeleteKeyW(root, path.c_str());
    return !KeyExists(root, path);
}

std::wstring ClassEntryName(int number) { return plug::FormatString(L"%04d", number); }

int FirstFreeClassNumber(HKEY root, const std::wstring& classKey)
{
    int number = 0;
    while (number < 9999 && KeyExists(root, classKey + L"\\" + ClassEntryName(number)))
        ++number;
    return number;
}

const wchar_t* RootName(HKEY root) { return root == HKEY_CURRENT_USER ? L"HKCU" : L"HKLM"; }

bool RootFromName(const std::wstring& name, HKEY* root)
{
    if (name == L"HKLM")
        *root = HKEY_LOCAL_MACHINE;
    else if (name == L"HKCU")
        *root = HKEY_CURRENT_USER;
    else
        return false;
    return true;
}

} // namespace sim
