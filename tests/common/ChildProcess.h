// Test executables double as helper processes: started with "--child MODE ARGS...", the test
// main runs the registered mode instead of the tests.
#pragma once

#include "framework/Handle.h"

#include <string>
#include <vector>

namespace plugtest {

using ChildMode = int (*)(const std::vector<std::wstring>& arguments);

// Registers a child mode (use PLUGTEST_CHILD_MODE).
struct ChildModeRegistration {
    ChildModeRegistration(const wchar_t* name, ChildMode mode);
};

#define PLUGTEST_CHILD_MODE(name)                                                                                      \
    static int ChildMode_##name(const std::vector<std::wstring>& arguments);                                           \
    static ::plugtest::ChildModeRegistration g_childMode_##name(L## #name, &ChildMode_##name);                         \
    static int ChildMode_##name(const std::vector<std::wstring>& arguments)

// Runs the registered mode named by the command line; returns false when it names none.
bool RunChildModeIfAsked(int argc, wchar_t** argv, int* exitCode);

// A process started by a test; ended (if still running) when the object goes.
class ChildProcess {
public:
    // Starts this test executable in mode with the given arguments.
    static ChildProcess StartMode(const std::wstring& mode, const std::wstring& arguments = L"");
    // Starts any program with a command line (quoted program path plus arguments).
    static ChildProcess Start(const std::wstring& program, const std::wstring& arguments,
                              const std::wstring& workingDirectory = L"");

    ChildProcess() = default;
    ChildProcess(ChildProcess&&) = default;
    ChildProcess& operator=(ChildProcess&&) = default;
    ~ChildProcess();

    bool IsStarted() const { return m_process.IsValid(); }
    HANDLE Handle() const { return m_process.Get(); }
    DWORD ProcessId() const { return m_processId; }
    // Waits up to timeout; returns the exit code, or -1 when it did not end in time.
    int Wait(DWORD timeoutMs = 30000);

private:
    plug::UniqueHandle m_process;
    DWORD m_processId = 0;
};

// Runs program with arguments, waits up to timeout and returns its exit code (-1 on time-out or
// start failure); what it writes to standard output goes to *output.
int RunAndCapture(const std::wstring& program, const std::wstring& arguments, std::string* output,
                  DWORD timeoutMs = 30000);

// Runs this test executable in mode under a new Wine loader whose Unix environment also holds
// variables ("LANG=ja_JP.UTF-8"). Wine takes the user's language from the Unix locale when its
// loader starts, and a child started the usual way shares its parent's loader environment. The
// mode gets an answer file as its first argument and writes it with WriteChildAnswer. Returns
// false, with the reason in *answer, when no answer came within the time-out.
bool RunModeInUnixEnvironment(const std::wstring& mode, const std::vector<std::wstring>& variables,
                              const std::wstring& arguments, std::wstring* answer, DWORD timeoutMs = 120000);
void WriteChildAnswer(const std::wstring& answerFile, const std::wstring& answer);

// The path of the running test executable.
std::wstring ThisExecutable();

// Copies program into its own folder as "<name>_<windowsVersion>.exe" and sets Wine to report
// windowsVersion ("winxp", "win7", ...) to that copy (AppDefaults). Returns the copy's path.
std::wstring CopyAsWindowsVersion(const std::wstring& program, const std::wstring& windowsVersion);

} // namespace plugtest
