#include "StandIns.h"

#include "ChildProcess.h"
#include "TestFiles.h"
#include "framework/Handle.h"
#include "framework/StringFormat.h"
#include "sim/programs/StandInFiles.h"

#include <algorithm>

namespace plugtest {

namespace {

const wchar_t kStandInFolder[] = L"C:\\plugstart_sim";

void RemoveStandInFiles()
{
    for (const wchar_t* file : {sim::kProgramsScript, sim::kProgramsLog, sim::kInstalledRecord})
        RemoveFileForced(file);
}

std::string VersionResource(const std::wstring& path)
{
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::string block(size, '\0');
    if (size == 0 || !::GetFileVersionInfoW(path.c_str(), 0, size, &block[0]))
        return std::string();
    return block;
}

std::wstring ValueText(DWORD type, const std::vector<BYTE>& data)
{
    if (type == REG_SZ || type == REG_EXPAND_SZ)
        return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    std::wstring hex;
    for (BYTE byte : data)
        hex += plug::FormatString(L"%02X", byte);
    return hex;
}

void AppendKeyText(HKEY root, const std::wstring& path, std::wstring* text)
{
    plug::UniqueHKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return;
    *text += L"[" + path + L"]\n";
    DWORD longestName = 0;
    DWORD longestData = 0;
    ::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                       &longestData, nullptr, nullptr);
    std::vector<std::wstring> lines;
    for (DWORD index = 0;; ++index) {
        std::wstring name(longestName + 1, L'\0');
        DWORD nameLength = longestName + 1;
        std::vector<BYTE> data(longestData + 2);
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (::RegEnumValueW(key.Get(), index, &name[0], &nameLength, nullptr, &type, data.data(), &dataSize) !=
            ERROR_SUCCESS)
            break;
        data.resize(dataSize);
        lines.push_back(name.substr(0, nameLength) + L"=" + std::to_wstring(type) + L":" + ValueText(type, data));
    }
    std::vector<std::wstring> subkeys;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (::RegEnumKeyExW(key.Get(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subkeys.emplace_back(name, nameLength);
    }
    std::sort(lines.begin(), lines.end());
    std::sort(subkeys.begin(), subkeys.end());
    for (const std::wstring& line : lines)
        *text += line + L"\n";
    for (const std::wstring& subkey : subkeys)
        AppendKeyText(root, path + L"\\" + subkey, text);
}

void AppendFolderText(const std::wstring& folder, std::wstring* text)
{
    std::vector<std::wstring> lines;
    std::vector<std::wstring> subfolders;
    WIN32_FIND_DATAW entry;
    plug::UniqueFind find(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!find)
        return;
    do {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            subfolders.push_back(name);
        else
            lines.push_back(folder + L"\\" + name + L" " + std::to_wstring(entry.nFileSizeLow));
    } while (::FindNextFileW(find.Get(), &entry));
    std::sort(lines.begin(), lines.end());
    std::sort(subfolders.begin(), subfolders.end());
    for (const std::wstring& line : lines)
        *text += line + L"\n";
    for (const std::wstring& subfolder : subfolders) {
        *text += folder + L"\\" + subfolder + L"\\\n";
        AppendFolderText(folder + L"\\" + subfolder, text);
    }
}

} // namespace

ScopedStandIns::ScopedStandIns() : m_folderWasThere(::GetFileAttributesW(kStandInFolder) != INVALID_FILE_ATTRIBUTES)
{
    RemoveStandInFiles();
}

ScopedStandIns::~ScopedStandIns()
{
    RemoveStandInFiles();
    if (!m_folderWasThere)
        ::RemoveDirectoryW(kStandInFolder);
}

void ScopedStandIns::Script(const std::wstring& section, const std::wstring& key, const std::wstring& value)
{
    CreateFolders(kStandInFolder);
    ::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), sim::kProgramsScript);
}

void ScopedStandIns::ClearScript() { RemoveFileForced(sim::kProgramsScript); }

std::vector<sim::ProgramAction> ScopedStandIns::Actions() const { return sim::ReadProgramActions(); }

std::vector<std::wstring> ScopedStandIns::ActionsOf(const std::wstring& program) const
{
    std::vector<std::wstring> texts;
    for (const sim::ProgramAction& action : Actions()) {
        if (plug::EqualsNoCase(action.program, program))
            texts.push_back(action.detail.empty() ? action.action : action.action + L" " + action.detail);
    }
    return texts;
}

bool ScopedStandIns::WaitForAction(const std::wstring& program, const std::wstring& action, DWORD timeoutMs,
                                   size_t count) const
{
    DWORD start = ::GetTickCount();
    for (;;) {
        size_t seen = 0;
        for (const sim::ProgramAction& logged : Actions()) {
            if (plug::EqualsNoCase(logged.program, program) && logged.action == action && ++seen == count)
                return true;
        }
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        ::Sleep(20);
    }
}

std::wstring PlaceStandIn(const std::wstring& standIn, const std::wstring& folder, const std::wstring& name)
{
    std::wstring self = ThisExecutable();
    std::wstring source = self.substr(0, self.rfind(L'\\') + 1) + standIn + L".exe";
    std::wstring target = folder + (folder.empty() || folder.back() == L'\\' ? L"" : L"\\") + name;
    CreateFolders(target.substr(0, target.rfind(L'\\')));
    ::CopyFileW(source.c_str(), target.c_str(), FALSE);
    return target;
}

std::wstring FixedFileVersion(const std::wstring& path)
{
    std::string block = VersionResource(path);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (block.empty() || !::VerQueryValueW(&block[0], L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        length < sizeof(VS_FIXEDFILEINFO))
        return std::wstring();
    return plug::FormatString(L"%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                              HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
}

std::wstring FileVersionString(const std::wstring& path)
{
    std::string block = VersionResource(path);
    wchar_t* text = nullptr;
    UINT length = 0;
    if (block.empty() || !::VerQueryValueW(&block[0], L"\\StringFileInfo\\040904B0\\FileVersion",
                                           reinterpret_cast<void**>(&text), &length))
        return std::wstring();
    return std::wstring(text); // up to the terminator: the rest of the field is zeros
}

std::wstring RegistryTreeText(HKEY root, const std::wstring& path)
{
    std::wstring text;
    AppendKeyText(root, path, &text);
    return text;
}

std::wstring FolderTreeText(const std::wstring& folder)
{
    std::wstring text;
    AppendFolderText(folder, &text);
    return text;
}

} // namespace plugtest
