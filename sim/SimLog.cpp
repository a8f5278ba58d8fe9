#include "SimLog.h"

#include "SimFiles.h"
#include "framework/Handle.h"
#include "framework/StringFormat.h"

#include <windows.h>

namespace sim {

namespace {

std::wstring Clean(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c == L'\t' || c == L'\r' || c == L'\n')
            c = L' ';
    }
    return text;
}

} // namespace

std::wstring LogField(const std::wstring& name, const std::wstring& value) { return Clean(name) + L"=" + Clean(value); }

void AppendLogLine(const std::wstring& file, const std::string& line)
{
    ::CreateDirectoryW(kStateFolder, nullptr);
    ::CreateDirectoryW(file.substr(0, file.rfind(L'\\')).c_str(), nullptr); // the state folder or one in it
    std::string text = line + "\r\n";
    const DWORD everyone = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    plug::UniqueFile log(
        ::CreateFileW(file.c_str(), FILE_APPEND_DATA, everyone, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (log)
        ::WriteFile(log.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void AppendLogLine(const std::wstring& file, const std::wstring& line) { AppendLogLine(file, plug::ToUtf8(line)); }

} // namespace sim
