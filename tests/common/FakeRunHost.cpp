#include "FakeRunHost.h"

#include "framework/ProcessStart.h"

namespace plugtest {

void FakeRunHost::Trace(const std::wstring& text, bool startNew)
{
    if (startNew)
        traces.clear();
    traces.push_back(text);
}

plug::UniqueHandle FakeRunHost::StartProgram(const std::wstring& program, const std::wstring& parameters,
                                             int showCommand)
{
    starts.push_back({program, parameters, showCommand});
    if (onStart)
        onStart(starts.back());
    if (startForReal)
        return plug::StartProgram(program, parameters, showCommand);
    return plug::UniqueHandle(::CreateEventW(nullptr, TRUE, TRUE, nullptr)); // signalled: already ended
}

void FakeRunHost::LaunchProgram(const std::wstring& program, const std::wstring& parameters)
{
    launches.push_back({program, parameters, SW_SHOWNORMAL});
    wchar_t directory[MAX_PATH * 2] = {};
    ::GetCurrentDirectoryW(MAX_PATH * 2, directory);
    launchDirectories.push_back(directory);
    if (startForReal)
        plug::LaunchProgram(program, parameters);
}

BOOL FakeRunHost::WaitForProgram(HANDLE process, DWORD timeoutMs)
{
    waits.push_back(timeoutMs);
    if (onWait)
        onWait();
    return plug::WaitForProcessEnd(process, timeoutMs);
}

bool FakeRunHost::Traced(const std::wstring& part) const
{
    for (const std::wstring& text : traces) {
        if (text.find(part) != std::wstring::npos)
            return true;
    }
    return false;
}

} // namespace plugtest
