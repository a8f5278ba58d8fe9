#include "ProgramsLog.h"

#include "StandInFiles.h"
#include "sim/SimFiles.h"
#include "framework/Handle.h"
#include "framework/StringFormat.h"

#include <windows.h>

#include <cwchar>

namespace sim {

namespace {

std::wstring Field(const wchar_t* name, std::wstring value)
{
    for (wchar_t& c : value) {
        if (c == L'\t' || c == L'\r' || c == L'\n')
            c = L' ';
    }
    return std::wstring(name) + L"=" + value;
}

} // namespace

std::wstring FormatProgramAction(const ProgramAction& action)
{
    return Field(L"program", action.program) + L"\t" + Field(L"pid", std::to_wstring(action.pid)) + L"\t" +
           Field(L"action", action.action) + L"\t" + Field(L"detail", action.detail) + L"\t" +
           Field(L"command", action.command);
}

bool ParseProgramAction(const std::wstring& line, ProgramAction* action)
{
    ProgramAction parsed;
    size_t begin = 0;
    while (begin <= line.size()) {
        size_t end = line.find(L'\t', begin);
        if (end == std::wstring::npos)
            end = line.size();
        std::wstring field = line.substr(begin, end - begin);
        size_t equals = field.find(L'=');
        if (equals != std::wstring::npos) {
            std::wstring name = field.substr(0, equals);
            std::wstring value = field.substr(equals + 1);
            if (name == L"program")
                parsed.program = value;
            else if (name == L"pid")
                parsed.pid = std::wcstoul(value.c_str(), nullptr, 10);
            else if (name == L"action")
                parsed.action = value;
            else if (name == L"detail")
                parsed.detail = value;
            else if (name == L"command")
                parsed.command = value;
        }
        begin = end + 1;
    }
    if (parsed.program.empty() || parsed.action.empty())
        return false;
    *action = parsed;
    return true;
}

void AppendProgramAction(const ProgramAction& action)
{
    ::CreateDirectoryW(kStateFolder, nullptr);
    std::string text = plug::ToUtf8(FormatProgramAction(action) + L"\r\n");
    plug::UniqueFile log(::CreateFileW(kProgramsLog, FILE_APPEND_DATA,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (log)
        ::WriteFile(log.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

} // namespace sim
