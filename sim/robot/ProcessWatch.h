// Watches the processes of the prefix: every process that appears after the watch began is
// reported with its parent and command line, and again when it ends, with its exit code.
#pragma once

#include "framework/Handle.h"

#include <windows.h>

#include <map>
#include <set>
#include <string>

namespace robot {

// The file name of process pid ("Plugstart.exe"), empty when it is not running.
std::wstring ProcessName(DWORD pid);

class ProcessWatch {
public:
    // Takes the processes running now as known: they are reported once, as running, by
    // ReportRunning, and never as started.
    ProcessWatch();
    void ReportRunning();
    // Reports the processes that started or ended since the last call.
    void Poll();
    // New processes seen but not reported yet (still starting).
    size_t Starting() const { return m_starting.size(); }

private:
    struct Watched {
        std::wstring name;
        plug::UniqueHandle process; // kept open so that the exit code can still be read
    };
    // False while a new process is still starting (no name or command line yet): asked again.
    bool Started(DWORD pid, DWORD parent, const std::wstring& name);
    void Ended(DWORD pid, Watched& watched);

    std::set<DWORD> m_known; // running processes seen before: at the start, or reported as started
    std::map<DWORD, std::wstring> m_runningAtStart;
    std::map<DWORD, int> m_starting; // new processes not reported yet, and how often they were asked
    std::map<DWORD, Watched> m_watched;
};

} // namespace robot
