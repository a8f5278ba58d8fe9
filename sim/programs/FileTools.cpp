#include "FileTools.h"

#include "config/SystemFolders.h"
#include "framework/Handle.h"

#include <windows.h>

namespace sim {

bool PathExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::wstring& path)
{
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderIsEmpty(const std::wstring& folder)
{
    if (!IsFolder(folder))
        return false;
    WIN32_FIND_DATAW entry;
    plug::UniqueFind find(::FindFirstFileW(JoinPath(folder, L"*").c_str(), &entry));
    if (!find)
        return true;
    do {
        std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..")
            return false;
    } while (::FindNextFileW(find.Get(), &entry));
    return true;
}

std::string ReadWholeFile(const std::wstring& path)
{
    const DWORD everyone = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    plug::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, everyone, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (!file)
        return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file.Get(), buffer, sizeof(buffer), &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return bytes;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes)
{
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    plug::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool DeleteFileForced(const std::wstring& path)
{
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
    return !PathExists(path);
}

std::wstring ParentOf(const std::wstring& path)
{
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name)
{
    if (folder.empty() || folder.back() == L'\\')
        return folder + name;
    return folder + L"\\" + name;
}

std::wstring ProgramFilesFolder()
{
    std::wstring folder;
    return plug::GetProgramFilesFolder(folder) ? folder : std::wstring();
}

std::wstring SystemDriversFolder()
{
    std::wstring folder;
    return plug::GetSystemFolder(folder) ? folder + L"\\drivers" : std::wstring();
}

bool RunsOn64BitWindows()
{
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

} // namespace sim
