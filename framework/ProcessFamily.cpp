#include "ProcessFamily.h"

#include <tlhelp32.h>

#include <algorithm>

namespace plug {

namespace {

// The right that Windows Vista and later grant for any process a user may see, also an elevated
// one; Windows XP knows only the full query right.
constexpr DWORD kQueryLimitedInformation = 0x1000;

// The id of a process by its handle; 0 for a handle that is not a process. GetProcessId came
// with Windows XP SP1 and is looked up; before it, the native query that it stands on is asked.
DWORD ProcessIdOf(HANDLE process)
{
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    using GetProcessIdFunction = DWORD(WINAPI*)(HANDLE);
    auto getProcessId = kernel ? reinterpret_cast<GetProcessIdFunction>(
                                     reinterpret_cast<void*>(::GetProcAddress(kernel, "GetProcessId")))
                               : nullptr;
    if (getProcessId)
        return getProcessId(process);
    struct BasicInformation { // PROCESS_BASIC_INFORMATION
        LONG_PTR exitStatus;
        void* environmentBlock;
        ULONG_PTR affinityMask;
        LONG_PTR basePriority;
        ULONG_PTR processId;
        ULONG_PTR parentProcessId;
    } information = {};
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    using QueryFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto query = ntdll ? reinterpret_cast<QueryFunction>(
                             reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtQueryInformationProcess")))
                       : nullptr;
    if (!query || query(process, 0 /* ProcessBasicInformation */, &information, sizeof(information), nullptr) < 0)
        return 0;
    return static_cast<DWORD>(information.processId);
}

UniqueHandle OpenToWatch(DWORD id)
{
    UniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id));
    if (!process)
        process.Attach(::OpenProcess(SYNCHRONIZE | kQueryLimitedInformation, FALSE, id));
    return process;
}

ProcessFamily::ProcessTimesFunction g_processTimes = nullptr; // nullptr: GetProcessTimes

ULONGLONG InSteps(const FILETIME& time)
{
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// A day in 100-nanosecond steps: a clock set back by less keeps the times recorded before.
constexpr ULONGLONG kOneDay = 24ULL * 60 * 60 * 10000000;

// In 100-nanosecond steps; 0 when Windows does not tell, or has not recorded it yet (a time far
// after the present: Wine's while the process is starting).
ULONGLONG CreationTime(HANDLE process)
{
    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    auto processTimes = g_processTimes ? g_processTimes : &::GetProcessTimes;
    if (!processTimes(process, &created, &exited, &kernel, &user))
        return 0;
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    return InSteps(created) > InSteps(now) + kOneDay ? 0 : InSteps(created);
}

// Another handle to the same process, with the same rights, for the family to keep.
UniqueHandle DuplicateOf(HANDLE process)
{
    HANDLE duplicate = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), process, ::GetCurrentProcess(), &duplicate, 0, FALSE,
                           DUPLICATE_SAME_ACCESS))
        return UniqueHandle();
    return UniqueHandle(duplicate);
}

UniqueHandle MakeCountingJob()
{
    UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
    if (!job)
        return job;
    // A process that asks to leave the job is let go: the job is there to count, and must not
    // make a start fail that works without it. (The extended form of the limits: Wine refuses
    // the basic one.)
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    if (!::SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits)))
        job.Reset();
    return job;
}

struct ProcessEntry {
    DWORD id;
    DWORD parentId;
};

std::vector<ProcessEntry> ListProcesses()
{
    std::vector<ProcessEntry> entries;
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return entries;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry))
        entries.push_back({entry.th32ProcessID, entry.th32ParentProcessID});
    return entries;
}

bool Contains(const std::vector<DWORD>& ids, DWORD id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

} // namespace

ProcessFamily::ProcessFamily() : m_job(MakeCountingJob()) {}

ProcessFamily::ProcessTimesFunction ProcessFamily::SetProcessTimesFunction(ProcessTimesFunction function)
{
    ProcessTimesFunction previous = g_processTimes;
    g_processTimes = function;
    return previous;
}

void ProcessFamily::Follow(HANDLE process)
{
    const DWORD programId = process ? ProcessIdOf(process) : 0;
    if (programId == 0) {
        m_job.Reset();
        return;
    }
    m_program = {programId, 0, CreationTime(process), false, DuplicateOf(process)};
    if (m_job && !::AssignProcessToJobObject(m_job.Get(), process))
        m_job.Reset();
    m_byParent = !m_job;
    // What the program started before it joined the job is found by its parent's id; what such
    // a process starts is then looked for the same way.
    LookByParent();
    for (const Member& member : m_members) {
        if (!member.inJob)
            m_byParent = true;
    }
}

void ProcessFamily::LookAgain()
{
    if (m_job)
        LookInJob();
    if (m_byParent)
        LookByParent();
}

std::vector<HANDLE> ProcessFamily::RunningDescendants()
{
    // Which members run is read before the look: one that had ended by then had its own
    // processes running (and listed) already. One that ends while the list is gone over may have
    // started another after the list was taken, so it is returned with those the look found, of
    // which the same holds: its end makes the caller look once more.
    // (By id: the look may let go of a member.)
    std::vector<DWORD> knownBefore, ranBefore;
    for (const Member& member : m_members) {
        knownBefore.push_back(member.id);
        if (::WaitForSingleObject(member.process.Get(), 0) == WAIT_TIMEOUT)
            ranBefore.push_back(member.id);
    }
    LookAgain();
    std::vector<HANDLE> running;
    for (const Member& member : m_members) {
        if (Contains(ranBefore, member.id) || !Contains(knownBefore, member.id))
            running.push_back(member.process.Get());
    }
    return running;
}

unsigned ProcessFamily::DescendantsSeen() const
{
    unsigned seen = 0;
    for (const Member& member : m_members) {
        if (!member.inJob)
            ++seen;
    }
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (m_job &&
        ::QueryInformationJobObject(m_job.Get(), JobObjectBasicAccountingInformation, &accounting, sizeof(accounting),
                                    nullptr) &&
        accounting.TotalProcesses > 0) {
        seen += accounting.TotalProcesses - 1; // the program itself is one of them
    }
    return seen;
}

void ProcessFamily::LookInJob()
{
    // Room for the ids of the processes the job holds now; more come with a larger list.
    std::vector<ULONG_PTR> list(2 + 64);
    for (;;) {
        auto* ids = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(list.data());
        DWORD room = static_cast<DWORD>(list.size() - 2);
        if (!::QueryInformationJobObject(m_job.Get(), JobObjectBasicProcessIdList, ids,
                                         static_cast<DWORD>(list.size() * sizeof(ULONG_PTR)), nullptr) &&
            ::GetLastError() != ERROR_MORE_DATA)
            return;
        if (ids->NumberOfAssignedProcesses > room && list.size() < 0x10000) {
            list.resize(2 + ids->NumberOfAssignedProcesses + 16);
            continue;
        }
        break;
    }
    const auto* ids = reinterpret_cast<const JOBOBJECT_BASIC_PROCESS_ID_LIST*>(list.data());
    for (DWORD index = 0; index < ids->NumberOfProcessIdsInList; ++index) {
        DWORD id = static_cast<DWORD>(ids->ProcessIdList[index]);
        if (id == m_program.id || IsKnown(id))
            continue;
        UniqueHandle process = OpenToWatch(id);
        // The id may have gone to another process between the list and the open.
        if (!process || !IsInJob(process.Get()))
            continue;
        m_members.push_back({id, 0, CreationTime(process.Get()), true, std::move(process)});
    }
}

void ProcessFamily::LookByParent()
{
    SettleCreationTimes();
    const std::vector<ProcessEntry> entries = ListProcesses();
    const DWORD ownId = ::GetCurrentProcessId();
    // A child may come before its parent in the list: go over it until nothing new is found.
    for (bool found = true; found;) {
        found = false;
        for (const ProcessEntry& entry : entries) {
            ULONGLONG parentCreated = 0;
            if (entry.id == ownId || entry.id == m_program.id || IsKnown(entry.id) ||
                !FamilyCreationTime(entry.parentId, &parentCreated))
                continue;
            UniqueHandle process = OpenToWatch(entry.id);
            if (!process)
                continue;
            ULONGLONG created = CreationTime(process.Get());
            if (created != 0 && created < parentCreated)
                continue; // older than the parent whose id it names: a child of an earlier owner of that id
            m_members.push_back({entry.id, entry.parentId, created, IsInJob(process.Get()), std::move(process)});
            found = true;
        }
    }
}

void ProcessFamily::SettleCreationTimes()
{
    if (m_program.created == 0 && m_program.process)
        m_program.created = CreationTime(m_program.process.Get());
    for (auto member = m_members.begin(); member != m_members.end();) {
        if (member->created == 0) {
            member->created = CreationTime(member->process.Get());
            ULONGLONG parentCreated = 0;
            if (member->created != 0 && !member->inJob && FamilyCreationTime(member->parentId, &parentCreated) &&
                member->created < parentCreated) {
                member = m_members.erase(member); // a child of an earlier owner of its parent's id
                continue;
            }
        }
        ++member;
    }
}

bool ProcessFamily::IsKnown(DWORD id) const
{
    for (const Member& member : m_members) {
        if (member.id == id)
            return true;
    }
    return false;
}

bool ProcessFamily::FamilyCreationTime(DWORD id, ULONGLONG* created) const
{
    if (id == m_program.id) {
        *created = m_program.created;
        return *created != 0;
    }
    for (const Member& member : m_members) {
        if (member.id == id) {
            *created = member.created;
            return *created != 0;
        }
    }
    return false;
}

bool ProcessFamily::IsInJob(HANDLE process) const
{
    BOOL inJob = FALSE;
    return m_job && ::IsProcessInJob(process, m_job.Get(), &inJob) && inJob;
}

} // namespace plug
