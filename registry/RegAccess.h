// CRegAccess: the one class through which the program reads and writes the registry. Callers
// never hold a key: every operation opens the key it needs, does one read or write and closes
// it again. Keys are named by a root index and a path, values by a value path (see ValuePath.h).
// No registry-view flags are passed: a 32-bit build sees the registry as a 32-bit process does.
#pragma once

#include <windows.h>

#include <string>

// Root indexes of the root-index operations; any other index fails without registry access.
enum {
    REGROOT_CLASSES_ROOT = 1,
    REGROOT_CURRENT_USER = 2,
    REGROOT_LOCAL_MACHINE = 3,
};

class CRegAccess {
public:
    CRegAccess() = default;
    virtual ~CRegAccess() = default;
    CRegAccess(const CRegAccess&) = delete;
    CRegAccess& operator=(const CRegAccess&) = delete;

    // TRUE when root\keyPath opens for reading.
    BOOL KeyExists(int nRoot, const std::wstring& strKeyPath);

    // Reads of a value path. A string is read only when it has at most 127 characters plus its
    // terminator; on failure the out argument is left as it was.
    BOOL GetString(int nRoot, const std::wstring& strValuePath, std::wstring& strValue);
    BOOL GetDWORD(int nRoot, const std::wstring& strValuePath, DWORD& dwValue);

    // Writes of a value path; the key is created when it is missing.
    BOOL SetString(int nRoot, const std::wstring& strValuePath, const std::wstring& strValue);
    BOOL SetDWORD(int nRoot, const std::wstring& strValuePath, DWORD dwValue);

    // The same under "SOFTWARE\" of the current user (root 2) or the local machine (root 3);
    // an empty value name names the key's default value.
    BOOL GetUserString(const std::wstring& strKey, const std::wstring& strName, std::wstring& strValue);
    BOOL GetUserDWORD(const std::wstring& strKey, const std::wstring& strName, DWORD& dwValue);
    BOOL SetUserString(const std::wstring& strKey, const std::wstring& strName, const std::wstring& strValue);
    BOOL SetUserDWORD(const std::wstring& strKey, const std::wstring& strName, DWORD dwValue);
    BOOL GetMachineString(const std::wstring& strKey, const std::wstring& strName, std::wstring& strValue);

private:
    BOOL SetValue(int nRoot, const std::wstring& strValuePath, DWORD dwType, const BYTE* data, DWORD cbData);
    std::wstring SoftwarePath(const std::wstring& strKey, const std::wstring& strName) const;

    // Company or product key inserted after "SOFTWARE\"; empty in this program.
    std::wstring m_strBaseKey;
};
