// The processes that a started program starts, and those they start in turn, followed from the
// program's start on, so that its caller can wait until the whole of its work has ended (many
// setups start the real installer and exit at once).
//
// Where Windows allows it the program joins a job object of its own right after its start, and
// every process it starts from then on joins the job too, also one whose parent has ended
// already. The job limits nothing and ends nothing: it only counts, and a process that asks to
// leave it may. Where the program cannot join (Windows before 8 nests no jobs, and a program
// started by a shell may run in one already), its descendants are found by their parent's
// process id in snapshots of the process list; that way sees a process only while it runs, so
// its caller looks again at short intervals (kLookAgainMs). Either way a snapshot right after
// the start finds what the program started before it joined the job.
//
// Every process found is kept open until the family goes: Windows does not give its id to
// another process meanwhile, and a process found by its parent's id is kept only when it was
// created after that parent, so that an id used again before the start misleads nothing.
//
// Wine lists a process that is starting, and lets it be opened, a moment before it records when
// the process was created; until then it reports a creation time far in the future. Such a time
// counts as not known yet: it is read again at the next look, a process whose own is not known
// is taken and judged once it is, and none is taken as the child of a process whose time is not
// known (one that has not started yet has started nothing).
#pragma once

#include "Handle.h"

#include <vector>

namespace plug {

class ProcessFamily {
public:
    // How often descendants found only by their parent's id are looked for while one waits.
    static constexpr DWORD kLookAgainMs = 200;

    // Prepares the job, before the program starts.
    ProcessFamily();
    ProcessFamily(ProcessFamily&&) = default;
    ProcessFamily& operator=(ProcessFamily&&) = default;

    // Begins to follow what process starts; called right after its start. A handle that is not
    // a process (or none) leaves the family empty.
    void Follow(HANDLE process);

    // True when the family is followed through a job object.
    bool InJob() const { return m_job.IsValid(); }
    // True when some descendants can be found only by their parent's id: the caller looks
    // again every kLookAgainMs.
    bool NeedsLookingAgain() const { return m_byParent; }

    // Looks for the family's processes and returns those that may still run, the program itself
    // left out: those that ran before the look, and those it found (which may have ended since).
    // Empty only when nothing of the family runs. The handles stay owned by the family.
    std::vector<HANDLE> RunningDescendants();
    // Looks for new descendants only (between the waits of one that needs looking again).
    void LookAgain();
    // How many processes the program started (and they started), as far as they were seen.
    unsigned DescendantsSeen() const;

    // How the family reads a process's times (GetProcessTimes); tests stand in for a Windows
    // that has not recorded a start yet. nullptr restores GetProcessTimes. Returns the previous.
    using ProcessTimesFunction = BOOL(WINAPI*)(HANDLE, FILETIME*, FILETIME*, FILETIME*, FILETIME*);
    static ProcessTimesFunction SetProcessTimesFunction(ProcessTimesFunction function);

private:
    struct Member {
        DWORD id;
        DWORD parentId;    // as the process list named it (0 for the program and the job's members)
        ULONGLONG created; // 0 while not known yet
        bool inJob;
        UniqueHandle process;
    };
    void LookInJob();
    void LookByParent();
    // Reads the creation times not known yet once more, and lets go of a member found by its
    // parent's id that turns out older than that parent.
    void SettleCreationTimes();
    bool IsKnown(DWORD id) const;
    // The creation time of the family's process id (the program or a member); false when the
    // id is not the family's or its time is not known yet.
    bool FamilyCreationTime(DWORD id, ULONGLONG* created) const;
    bool IsInJob(HANDLE process) const;

    UniqueHandle m_job;
    Member m_program = {0, 0, 0, false, UniqueHandle()};
    bool m_byParent = false;
    std::vector<Member> m_members;
};

} // namespace plug
