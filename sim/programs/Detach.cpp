#include "Detach.h"

#include "config/ModulePath.h"
#include "framework/Handle.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>

namespace sim {

unsigned DetachLevelOf(const std::wstring& commandLine)
{
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(commandLine.c_str(), &count);
    if (!arguments)
        return 0;
    unsigned level = 0;
    for (int index = 1; index + 1 < count; ++index) {
        if (std::wcscmp(arguments[index], kDetachedSwitch) == 0)
            level = static_cast<unsigned>(std::wcstoul(arguments[index + 1], nullptr, 10));
    }
    ::LocalFree(arguments);
    return level;
}

DetachStep PlanDetach(const StandInScript& script, const std::wstring& commandLine)
{
    DetachStep step;
    std::wstring text = script.Text(L"detach", L"0");
    wchar_t* end = nullptr;
    unsigned long levels = std::wcstoul(text.c_str(), &end, 10);
    if (text[0] < L'0' || text[0] > L'9' || *end != L'\0' || levels > kMostDetachLevels) {
        step.problem = L"detach \"" + text + L"\" is not a number of levels from 0 to " +
                       std::to_wstring(kMostDetachLevels);
        return step;
    }
    unsigned level = DetachLevelOf(commandLine);
    if (level < levels) {
        step.handOver = true;
        step.nextLevel = level + 1;
    }
    return step;
}

unsigned long StartDetachedCopy(unsigned level, unsigned long* error)
{
    std::wstring commandLine = L"\"" + plug::GetModulePath() + L"\" " + kDetachedSwitch + L" " + std::to_wstring(level);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        *error = ::GetLastError();
        return 0;
    }
    plug::UniqueHandle process(started.hProcess);
    plug::UniqueHandle thread(started.hThread);
    return started.dwProcessId;
}

} // namespace sim
