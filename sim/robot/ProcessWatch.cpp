#include "ProcessWatch.h"

#include "RobotEvents.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <iterator>
#include <vector>

namespace robot {

namespace {

struct ProcessEntry {
    DWORD pid;
    DWORD parent;
    std::wstring name;
};

std::vector<ProcessEntry> Snapshot()
{
    std::vector<ProcessEntry> entries;
    // A failed snapshot is INVALID_HANDLE_VALUE, like a failed CreateFile.
    plug::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return entries;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry))
        entries.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
    return entries;
}

template <typename T>
bool ReadRemote(HANDLE process, const void* address, T* value)
{
    SIZE_T read = 0;
    return ::ReadProcessMemory(process, address, value, sizeof(T), &read) && read == sizeof(T);
}

// The command line from the process's parameter block (the same architecture as the robot).
std::wstring CommandLineOf(HANDLE process)
{
    PROCESS_BASIC_INFORMATION basic = {};
    ULONG length = 0;
    if (::NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof(basic), &length) != 0 ||
        !basic.PebBaseAddress)
        return std::wstring();
    PEB peb = {};
    RTL_USER_PROCESS_PARAMETERS parameters = {};
    if (!ReadRemote(process, basic.PebBaseAddress, &peb) || !peb.ProcessParameters ||
        !ReadRemote(process, peb.ProcessParameters, &parameters))
        return std::wstring();
    const UNICODE_STRING& line = parameters.CommandLine;
    if (!line.Buffer || line.Length == 0 || line.Length > 65534)
        return std::wstring();
    std::wstring text(line.Length / sizeof(wchar_t), L'\0');
    SIZE_T read = 0;
    if (!::ReadProcessMemory(process, line.Buffer, &text[0], line.Length, &read))
        return std::wstring();
    text.resize(read / sizeof(wchar_t));
    return text;
}

} // namespace

std::wstring ProcessName(DWORD pid)
{
    for (const ProcessEntry& entry : Snapshot()) {
        if (entry.pid == pid)
            return entry.name;
    }
    return std::wstring();
}

ProcessWatch::ProcessWatch()
{
    for (const ProcessEntry& entry : Snapshot()) {
        m_known.insert(entry.pid);
        m_runningAtStart[entry.pid] = entry.name;
    }
}

void ProcessWatch::ReportRunning()
{
    for (const auto& running : m_runningAtStart) {
        plug::UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, running.first));
        WriteEvent(L"process-running", {{L"pid", std::to_wstring(running.first)},
                                        {L"process", running.second},
                                        {L"command", process ? CommandLineOf(process.Get()) : std::wstring()}});
    }
}

void ProcessWatch::Poll()
{
    std::set<DWORD> running;
    for (const ProcessEntry& entry : Snapshot()) {
        running.insert(entry.pid);
        if (m_known.count(entry.pid) == 0 && Started(entry.pid, entry.parent, entry.name)) {
            m_known.insert(entry.pid);
            m_starting.erase(entry.pid);
        }
    }
    // A pid that has gone may come back as another process: forget it. (A watched process's pid
    // cannot be taken again while its handle is open.)
    for (auto it = m_known.begin(); it != m_known.end();)
        it = running.count(*it) ? std::next(it) : m_known.erase(it);
    for (auto it = m_starting.begin(); it != m_starting.end();)
        it = running.count(it->first) ? std::next(it) : m_starting.erase(it);
    for (auto it = m_watched.begin(); it != m_watched.end();) {
        Watched& watched = it->second;
        bool ended = watched.process ? ::WaitForSingleObject(watched.process.Get(), 0) == WAIT_OBJECT_0
                                     : running.count(it->first) == 0;
        if (ended) {
            Ended(it->first, watched);
            it = m_watched.erase(it);
        } else {
            ++it;
        }
    }
}

bool ProcessWatch::Started(DWORD pid, DWORD parent, const std::wstring& name)
{
    constexpr int kAskAtMost = 40; // polls: a process that never tells its name is reported without
    Watched watched;
    watched.name = name;
    watched.process.Attach(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, pid));
    std::wstring command = watched.process ? CommandLineOf(watched.process.Get()) : std::wstring();
    if ((name.empty() || command.empty()) && ++m_starting[pid] < kAskAtMost)
        return false;
    WriteEvent(L"process-start", {{L"pid", std::to_wstring(pid)},
                                  {L"parent", std::to_wstring(parent)},
                                  {L"process", name},
                                  {L"command", command}});
    m_watched.emplace(pid, std::move(watched));
    return true;
}

void ProcessWatch::Ended(DWORD pid, Watched& watched)
{
    DWORD code = 0;
    bool known = watched.process && ::GetExitCodeProcess(watched.process.Get(), &code);
    WriteEvent(L"process-exit",
               {{L"pid", std::to_wstring(pid)},
                {L"process", watched.name},
                {L"code", known ? std::to_wstring(static_cast<long>(code)) : std::wstring(L"unknown")}});
}

} // namespace robot
