// PlugRobot.exe: runs in the prefix beside the program during a plug-in run. It reports the
// windows and processes it sees on its standard output and answers message boxes and the PC-suite
// guide by its policy, until the run says stop on its standard input (RobotEvents.h).
//   PlugRobot.exe [--answer ok|cancel] [--rule TEXT=ok|cancel]... [--ack-wait-ms N] [--poll-ms N]
#include "AnswerPolicy.h"
#include "ProcessWatch.h"
#include "RobotEvents.h"
#include "WindowWatch.h"
#include "framework/Handle.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

using namespace robot;

namespace {

struct Options {
    AnswerPolicy policy;
    DWORD ackWaitMs = 0;
    DWORD pollMs = 50;
};

bool ParseOptions(int argc, wchar_t** argv, Options* options, std::wstring* error)
{
    for (int i = 1; i < argc; ++i) {
        std::wstring name = argv[i];
        if (i + 1 >= argc) {
            *error = L"missing value after " + name;
            return false;
        }
        std::wstring value = argv[++i];
        if (name == L"--answer") {
            if (!ParseAnswer(value, &options->policy.defaultAnswer)) {
                *error = L"not ok or cancel: " + value;
                return false;
            }
        } else if (name == L"--rule") {
            size_t equals = value.rfind(L'=');
            AnswerRule rule;
            if (equals == std::wstring::npos || equals == 0 || !ParseAnswer(value.substr(equals + 1), &rule.answer)) {
                *error = L"not TEXT=ok|cancel: " + value;
                return false;
            }
            rule.text = value.substr(0, equals);
            options->policy.rules.push_back(rule);
        } else if (name == L"--ack-wait-ms") {
            options->ackWaitMs = std::wcstoul(value.c_str(), nullptr, 10);
        } else if (name == L"--poll-ms") {
            options->pollMs = std::wcstoul(value.c_str(), nullptr, 10);
        } else {
            *error = L"unknown option " + name;
            return false;
        }
    }
    if (options->ackWaitMs > 60000)
        options->ackWaitMs = 60000;
    if (options->pollMs < 10 || options->pollMs > 1000)
        options->pollMs = 50;
    return true;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    plug::UniqueLocalMemory arguments(reinterpret_cast<HLOCAL>(argv));
    Options options;
    std::wstring error;
    if (!argv || !ParseOptions(argc, argv, &options, &error)) {
        WriteEvent(L"robot-error", {{L"detail", error}});
        return 2;
    }
    RunControl control;
    ProcessWatch processes;
    WindowWatch windows(options.policy, options.ackWaitMs, control);
    processes.ReportRunning();
    WriteEvent(L"robot-start", {{L"pid", std::to_wstring(::GetCurrentProcessId())}});
    unsigned long synced = 0;
    while (!control.StopRequested()) {
        // A sync asked before this pass is answered after it: the run then knows that everything
        // that ran by its request has been reported.
        unsigned long asked = control.SyncAsked();
        processes.Poll();
        windows.Poll();
        if (asked > synced) {
            synced = asked;
            WriteEvent(L"robot-sync",
                       {{L"number", std::to_wstring(synced)}, {L"starting", std::to_wstring(processes.Starting())}});
        }
        ::Sleep(options.pollMs);
    }
    processes.Poll();
    WriteEvent(L"robot-stop", {});
    return 0;
}
