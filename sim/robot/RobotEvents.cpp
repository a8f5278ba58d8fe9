#include "RobotEvents.h"

#include "framework/Handle.h"
#include "framework/StringFormat.h"
#include "sim/SimFiles.h"

#include <windows.h>

namespace robot {

namespace {

std::wstring Clean(std::wstring value)
{
    for (wchar_t& c : value) {
        if (c == L'\t' || c == L'\r' || c == L'\n')
            c = L' ';
    }
    return value;
}

} // namespace

std::wstring FormatEvent(const std::wstring& kind, const EventFields& fields)
{
    std::wstring line = L"event=" + Clean(kind);
    for (const auto& field : fields)
        line += L"\t" + Clean(field.first) + L"=" + Clean(field.second);
    return line;
}

void WriteEvent(const std::wstring& kind, const EventFields& fields)
{
    ::CreateDirectoryW(sim::kStateFolder, nullptr);
    ::CreateDirectoryW(RobotFolder().c_str(), nullptr);
    std::string text = plug::ToUtf8(FormatEvent(kind, fields) + L"\r\n");
    plug::UniqueFile log(::CreateFileW(EventLogPath().c_str(), FILE_APPEND_DATA,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (log)
        ::WriteFile(log.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::wstring RobotFolder() { return std::wstring(sim::kStateFolder) + L"robot"; }
std::wstring EventLogPath() { return RobotFolder() + L"\\events.log"; }
std::wstring AckPath(unsigned long number) { return RobotFolder() + L"\\ack-" + std::to_wstring(number); }
std::wstring StopPath() { return RobotFolder() + L"\\stop"; }

} // namespace robot
