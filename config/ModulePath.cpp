#include "ModulePath.h"

#include "framework/Handle.h"

namespace plug {

std::wstring GetModulePath()
{
    wchar_t path[520] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, path, 520);
    if (length == 0 || length >= 520)
        return std::wstring();
    return std::wstring(path, length);
}

std::wstring GetModuleDirectory()
{
    std::wstring full = GetModulePath();
    size_t slash = full.rfind(L'\\');
    if (slash == std::wstring::npos)
        return std::wstring();
    return full.substr(0, slash + 1);
}

BOOL IsExistFile(const std::wstring& path)
{
    // Every sharing is granted: another program that has the file open (a virus scanner reading
    // a copied file, an indexer) must not make it look missing.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.IsValid();
}

void ClearReadOnly(const std::wstring& path)
{
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_ARCHIVE);
}

} // namespace plug
