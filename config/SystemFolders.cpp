#include "SystemFolders.h"

#include <windows.h>
#include <shlobj.h>

namespace plug {

bool GetProgramFilesFolder(std::wstring& folder)
{
    wchar_t buffer[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_PROGRAM_FILES, FALSE))
        return false;
    folder = buffer;
    return true;
}

bool GetSystemFolder(std::wstring& folder)
{
    wchar_t buffer[520] = {};
    UINT length = ::GetSystemDirectoryW(buffer, 520);
    if (length == 0 || length >= 520)
        return false;
    folder.assign(buffer, length);
    return true;
}

} // namespace plug
