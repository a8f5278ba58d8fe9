#include "FakeRunHost.h"

#include "framework/ProcessStart.h"

namespace plugtest {

void FakeRunHost::Trace(const std::wstring& text, bool startNew)
{
    if (startNew)
        traces.clear();
    traces.push_back(text);
}

plug::StartedProgram FakeRunHost::StartProgram(const std::wstring& program, const std::wstring& parameters,
                                               int showCommand)
{
    starts.push_back({program, parameters, showCommand});
    if (onStart)
        onStart(starts.back());
    if (startForReal)
        return plug::StartedProgram::Start(program, parameters, showCommand);
    // Signalled: a program that has already ended, having started nothing.
    return plug::StartedProgram(plug::UniqueHandle(::CreateEventW(nullptr, TRUE, TRUE, nullptr)));
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

plug::ProgramWait FakeRunHost::WaitForProgram(plug::StartedProgram& program, DWORD timeoutMs,
                                              DWORD descendantsTimeoutMs)
{
    waits.push_back(timeoutMs);
    descendantWaits.push_back(descendantsTimeoutMs);
    if (onWait)
        onWait();
    return plug::WaitForProgramWork(program, timeoutMs, descendantsTimeoutMs);
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
