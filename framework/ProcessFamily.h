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
// another process meanwhile, and a process found by its parent's id is taken only when it was
// created after that parent, so that an id used again before the start misleads nothing.
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

    // Looks for the family's processes and returns those that still run, the program itself
    // left out. The handles stay owned by the family.
    std::vector<HANDLE> RunningDescendants();
    // Looks for new descendants only (between the waits of one that needs looking again).
    void LookAgain();
    // How many processes the program started (and they started), as far as they were seen.
    unsigned DescendantsSeen() const;

private:
    struct Member {
        DWORD id;
        ULONGLONG created;
        bool inJob;
        UniqueHandle process;
    };
    void LookInJob();
    void LookByParent();
    bool IsKnown(DWORD id) const;
    // The creation time of the family's process id (the program or a member); false when the
    // id is not the family's.
    bool FamilyCreationTime(DWORD id, ULONGLONG* created) const;
    bool IsInJob(HANDLE process) const;

    UniqueHandle m_job;
    DWORD m_programId = 0;
    ULONGLONG m_programCreated = 0;
    bool m_byParent = false;
    std::vector<Member> m_members;
};

} // namespace plug
