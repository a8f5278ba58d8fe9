#include "SystemFolders.h"

#include "framework/StringFormat.h"

#include <windows.h>
#include <shlobj.h>

namespace plug {

bool GetShellFolder(int csidl, std::wstring& folder)
{
    wchar_t buffer[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE))
        return false;
    folder = buffer;
    return true;
}

bool GetProgramFilesFolder(std::wstring& folder) { return GetShellFolder(CSIDL_PROGRAM_FILES, folder); }

bool GetSystemFolder(std::wstring& folder)
{
    wchar_t buffer[520] = {};
    UINT length = ::GetSystemDirectoryW(buffer, 520);
    if (length == 0 || length >= 520)
        return false;
    folder.assign(buffer, length);
    return true;
}

std::vector<std::wstring> CdromDriveRoots(wchar_t skippedLetter)
{
    std::vector<std::wstring> roots;
    const std::wstring skipped(1, skippedLetter);
    DWORD drives = ::GetLogicalDrives();
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter, drives >>= 1) {
        const std::wstring root = {letter, L':', L'\\'};
        if ((drives & 1) && !EqualsNoCase(std::wstring(1, letter), skipped) &&
            ::GetDriveTypeW(root.c_str()) == DRIVE_CDROM)
            roots.push_back(root);
    }
    return roots;
}

} // namespace plug
