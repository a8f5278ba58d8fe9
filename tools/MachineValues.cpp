#include "MachineValues.h"

#include "framework/Handle.h"

namespace plug {

namespace {

constexpr int kKeyPathChars = 256;

// The key part of valuePath (before its last backslash) into keyPath, and the value name.
// False when the key path does not fit.
bool SplitKeyAndName(const wchar_t* valuePath, wchar_t (&keyPath)[kKeyPathChars], const wchar_t** valueName)
{
    int lastSeparator = -1;
    int length = 0;
    for (; valuePath[length]; ++length) {
        if (valuePath[length] == L'\\')
            lastSeparator = length;
    }
    if (lastSeparator >= kKeyPathChars)
        return false;
    for (int i = 0; i < lastSeparator; ++i)
        keyPath[i] = valuePath[i];
    keyPath[lastSeparator < 0 ? 0 : lastSeparator] = L'\0';
    *valueName = valuePath + lastSeparator + 1;
    return true;
}

} // namespace

BOOL ReadMachineDword(const wchar_t* valuePath, DWORD* value)
{
    wchar_t keyPath[kKeyPathChars];
    const wchar_t* name = nullptr;
    if (!SplitKeyAndName(valuePath, keyPath, &name))
        return FALSE;
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return FALSE;
    DWORD read = 0;
    DWORD size = sizeof(read);
    DWORD type = REG_DWORD;
    if (::RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&read), &size) != ERROR_SUCCESS)
        return FALSE;
    *value = read;
    return TRUE;
}

BOOL WriteMachineDword(const wchar_t* valuePath, DWORD value)
{
    wchar_t keyPath[kKeyPathChars];
    const wchar_t* name = nullptr;
    if (!SplitKeyAndName(valuePath, keyPath, &name))
        return FALSE;
    UniqueHKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                          key.Put(), nullptr) != ERROR_SUCCESS)
        return FALSE;
    return ::RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
           ERROR_SUCCESS;
}

} // namespace plug
