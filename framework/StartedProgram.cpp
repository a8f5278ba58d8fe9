#include "StartedProgram.h"

#include "MessagePumpWait.h"
#include "ProcessStart.h"

#include <algorithm>

namespace plug {

namespace {

// Counts down from a bound (INFINITE: none).
class Deadline {
public:
    explicit Deadline(DWORD boundMs) : m_started(::GetTickCount()), m_boundMs(boundMs) {}
    DWORD Elapsed() const { return ::GetTickCount() - m_started; }
    DWORD Remaining() const
    {
        if (m_boundMs == INFINITE)
            return INFINITE;
        DWORD elapsed = Elapsed();
        return elapsed >= m_boundMs ? 0 : m_boundMs - elapsed;
    }

private:
    DWORD m_started;
    DWORD m_boundMs;
};

// A wait slice: the time left, or less when the family is to be looked at again before then.
DWORD Slice(const Deadline& deadline, bool lookAgain)
{
    return lookAgain ? std::min<DWORD>(deadline.Remaining(), ProcessFamily::kLookAgainMs) : deadline.Remaining();
}

bool WaitForTheProgramItself(StartedProgram& program, DWORD timeoutMs, MessagePumpWait& pump)
{
    Deadline deadline(timeoutMs);
    HANDLE process = program.Process();
    for (;;) {
        bool lookAgain = program.Family().NeedsLookingAgain();
        DWORD slice = Slice(deadline, lookAgain);
        if (pump.Wait(&process, 1, slice) == 0)
            return true;
        if (!lookAgain || deadline.Remaining() == 0 || ::WaitForSingleObject(process, 0) == WAIT_FAILED)
            return false;
        program.Family().LookAgain();
    }
}

bool WaitForTheDescendants(ProcessFamily& family, const Deadline& deadline, MessagePumpWait& pump)
{
    for (;;) {
        std::vector<HANDLE> running = family.RunningDescendants();
        if (running.empty())
            return true;
        if (deadline.Remaining() == 0)
            return false;
        // Any one's end is a reason to look again; so is the end of the slice.
        DWORD count = std::min<DWORD>(static_cast<DWORD>(running.size()), MAXIMUM_WAIT_OBJECTS - 1);
        pump.Wait(running.data(), count, Slice(deadline, family.NeedsLookingAgain() || count < running.size()));
    }
}

} // namespace

StartedProgram::StartedProgram(UniqueHandle process) : m_process(std::move(process))
{
    m_family.Follow(m_process.Get());
}

StartedProgram::StartedProgram(UniqueHandle process, ProcessFamily family)
    : m_process(std::move(process)), m_family(std::move(family))
{
}

StartedProgram StartedProgram::Start(const std::wstring& program, const std::wstring& parameters, int showCommand)
{
    ProcessFamily family; // its job is ready before the start, to be joined at once
    UniqueHandle process = StartProgram(program, parameters, showCommand);
    if (!process)
        return StartedProgram();
    family.Follow(process.Get());
    return StartedProgram(std::move(process), std::move(family));
}

ProgramWait WaitForProgramWork(StartedProgram& program, DWORD programTimeoutMs, DWORD descendantsTimeoutMs)
{
    ProgramWait result;
    MessagePumpWait pump;
    result.programEnded = WaitForTheProgramItself(program, programTimeoutMs, pump);
    if (!result.programEnded)
        return result;
    Deadline deadline(descendantsTimeoutMs);
    result.descendantsEnded = WaitForTheDescendants(program.Family(), deadline, pump);
    result.descendantsWaitMs = deadline.Elapsed();
    result.descendants = program.Family().DescendantsSeen();
    return result;
}

} // namespace plug
