// A program started for its work (a setup, a remover), with the processes it starts followed
// from its start on (ProcessFamily), and the wait until that whole work has ended.
#pragma once

#include "Handle.h"
#include "ProcessFamily.h"

#include <string>

namespace plug {

class StartedProgram {
public:
    StartedProgram() = default;
    // Follows what process starts (a handle that is not a process: nothing is followed).
    explicit StartedProgram(UniqueHandle process);

    // Starts program as StartProgram does (through the shell, verb "open", its own folder as
    // working directory, the current directory kept) and follows it. Empty when it did not start.
    static StartedProgram Start(const std::wstring& program, const std::wstring& parameters, int showCommand);

    explicit operator bool() const { return m_process.IsValid(); }
    // The program's own process: its end and its exit code are the program's.
    HANDLE Process() const { return m_process.Get(); }
    ProcessFamily& Family() { return m_family; }

private:
    StartedProgram(UniqueHandle process, ProcessFamily family);

    UniqueHandle m_process;
    ProcessFamily m_family;
};

// What a wait for a started program saw.
struct ProgramWait {
    bool programEnded = false;     // the program itself ended within its bound
    bool descendantsEnded = false; // and then every process it had started within theirs
    unsigned descendants = 0;      // the processes it started (and they started), as far as seen
    DWORD descendantsWaitMs = 0;   // how long the wait for them took after the program's end
};

// Waits until the program has ended, at most programTimeoutMs, then until every process it
// started (and they started) has ended, at most descendantsTimeoutMs more. The calling thread's
// messages are dispatched all the while (MessagePumpWait). A program that starts nothing costs
// one look at its job after its end.
ProgramWait WaitForProgramWork(StartedProgram& program, DWORD programTimeoutMs, DWORD descendantsTimeoutMs);

} // namespace plug
