#include "RegAccess.h"

#include "ValuePath.h"
#include "framework/Handle.h"

#include <cwchar>

namespace {

// The read limit of string values: 127 characters and the terminator.
constexpr DWORD kStringReadBytes = 256;

HKEY RootKey(int nRoot)
{
    switch (nRoot) {
    case REGROOT_CLASSES_ROOT:
        return HKEY_CLASSES_ROOT;
    case REGROOT_CURRENT_USER:
        return HKEY_CURRENT_USER;
    case REGROOT_LOCAL_MACHINE:
        return HKEY_LOCAL_MACHINE;
    default:
        return nullptr;
    }
}

// Opens root\keyPath with the given access; an empty handle when the root index is unknown or
// the key does not open.
plug::UniqueHKey OpenKey(int nRoot, const std::wstring& keyPath, REGSAM access)
{
    plug::UniqueHKey key;
    HKEY root = RootKey(nRoot);
    if (root && ::RegOpenKeyExW(root, keyPath.c_str(), 0, access, key.Put()) != ERROR_SUCCESS)
        key.Reset();
    return key;
}

// Opens root\keyPath for writing, creating it when it does not open.
plug::UniqueHKey OpenOrCreateKey(int nRoot, const std::wstring& keyPath)
{
    plug::UniqueHKey key = OpenKey(nRoot, keyPath, KEY_ALL_ACCESS);
    HKEY root = RootKey(nRoot);
    if (key || !root)
        return key;
    wchar_t emptyClass[1] = {L'\0'};
    if (::RegCreateKeyExW(root, keyPath.c_str(), 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                          key.Put(), nullptr) != ERROR_SUCCESS)
        key.Reset();
    return key;
}

// Queries a value of the key that valuePath names into data (zero-filled by the caller), with
// the declared size cbDeclared; the stored type is not checked.
BOOL QueryValue(int nRoot, const std::wstring& valuePath, DWORD presetType, BYTE* data, DWORD cbDeclared)
{
    plug::ValuePath path = plug::SplitValuePath(valuePath);
    plug::UniqueHKey key = OpenKey(nRoot, path.keyPath, KEY_READ);
    if (!key)
        return FALSE;
    DWORD type = presetType;
    DWORD size = cbDeclared;
    return ::RegQueryValueExW(key.Get(), path.valueName.c_str(), nullptr, &type, data, &size) == ERROR_SUCCESS;
}

} // namespace

BOOL CRegAccess::KeyExists(int nRoot, const std::wstring& strKeyPath)
{
    return OpenKey(nRoot, strKeyPath, KEY_READ).IsValid() ? TRUE : FALSE;
}

BOOL CRegAccess::GetString(int nRoot, const std::wstring& strValuePath, std::wstring& strValue)
{
    // Twice the declared size, zero-filled: whatever the query returns ends in a terminator.
    wchar_t buffer[kStringReadBytes] = {};
    if (!QueryValue(nRoot, strValuePath, REG_SZ, reinterpret_cast<BYTE*>(buffer), kStringReadBytes))
        return FALSE;
    strValue.assign(buffer, wcsnlen(buffer, kStringReadBytes));
    return TRUE;
}

BOOL CRegAccess::GetDWORD(int nRoot, const std::wstring& strValuePath, DWORD& dwValue)
{
    DWORD value = 0;
    if (!QueryValue(nRoot, strValuePath, REG_DWORD, reinterpret_cast<BYTE*>(&value), sizeof(value)))
        return FALSE;
    dwValue = value;
    return TRUE;
}

BOOL CRegAccess::SetValue(int nRoot, const std::wstring& strValuePath, DWORD dwType, const BYTE* data, DWORD cbData)
{
    plug::ValuePath path = plug::SplitValuePath(strValuePath);
    plug::UniqueHKey key = OpenOrCreateKey(nRoot, path.keyPath);
    if (!key)
        return FALSE;
    return ::RegSetValueExW(key.Get(), path.valueName.c_str(), 0, dwType, data, cbData) == ERROR_SUCCESS;
}

BOOL CRegAccess::SetString(int nRoot, const std::wstring& strValuePath, const std::wstring& strValue)
{
    DWORD cbData = static_cast<DWORD>((strValue.size() + 1) * sizeof(wchar_t));
    return SetValue(nRoot, strValuePath, REG_SZ, reinterpret_cast<const BYTE*>(strValue.c_str()), cbData);
}

BOOL CRegAccess::SetDWORD(int nRoot, const std::wstring& strValuePath, DWORD dwValue)
{
    return SetValue(nRoot, strValuePath, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue), sizeof(dwValue));
}

std::wstring CRegAccess::SoftwarePath(const std::wstring& strKey, const std::wstring& strName) const
{
    return plug::SoftwareValuePath(m_strBaseKey, strKey, strName);
}

BOOL CRegAccess::GetUserString(const std::wstring& strKey, const std::wstring& strName, std::wstring& strValue)
{
    return GetString(REGROOT_CURRENT_USER, SoftwarePath(strKey, strName), strValue);
}

BOOL CRegAccess::GetUserDWORD(const std::wstring& strKey, const std::wstring& strName, DWORD& dwValue)
{
    return GetDWORD(REGROOT_CURRENT_USER, SoftwarePath(strKey, strName), dwValue);
}

BOOL CRegAccess::SetUserString(const std::wstring& strKey, const std::wstring& strName, const std::wstring& strValue)
{
    return SetString(REGROOT_CURRENT_USER, SoftwarePath(strKey, strName), strValue);
}

BOOL CRegAccess::SetUserDWORD(const std::wstring& strKey, const std::wstring& strName, DWORD dwValue)
{
    return SetDWORD(REGROOT_CURRENT_USER, SoftwarePath(strKey, strName), dwValue);
}

BOOL CRegAccess::GetMachineString(const std::wstring& strKey, const std::wstring& strName, std::wstring& strValue)
{
    return GetString(REGROOT_LOCAL_MACHINE, SoftwarePath(strKey, strName), strValue);
}
