// The robot's channel to the plug-in run: its standard output and input, pipes that the run
// holds outside the PC. No file of the PC carries the robot's record, so no program of the PC
// can add to it by writing a file.
//
// Events go out on standard output: one line per event, UTF-8, tab-separated name=value fields,
// the first one event=<kind>; tabs and line breaks inside a field become blanks; a line ends with
// CR LF. The run's answers come in on standard input, one line each: "ack N" (the run has taken
// its picture of box number N), "sync N" (the run asks for event=robot-sync number=N once the robot
// has looked at every process and window after the request came, with starting=K: the new
// processes it has seen but not reported yet, as they tell no name or command line so far) and
// "stop"; the end of the input stops the robot too.
#pragma once

#include "framework/Thread.h"

#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace robot {

using EventFields = std::vector<std::pair<std::wstring, std::wstring>>;

// One line without its line end.
std::wstring FormatEvent(const std::wstring& kind, const EventFields& fields);

// Writes one event to standard output.
void WriteEvent(const std::wstring& kind, const EventFields& fields);

// The run's answers, read from standard input on a thread of their own.
class RunControl {
public:
    RunControl();
    RunControl(const RunControl&) = delete;
    RunControl& operator=(const RunControl&) = delete;

    bool StopRequested() const { return m_stop.load(); }
    // Whether the run has acknowledged box number n (it acknowledges in order).
    bool Acknowledged(unsigned long number) const { return m_acknowledged.load() >= number; }
    // The number of the run's latest "sync" request (0: none yet).
    unsigned long SyncAsked() const { return m_syncAsked.load(); }

    // One line of the run ("ack 3", "stop"); for the reader and for tests.
    void Take(const std::string& line);

private:
    static UINT Read(LPVOID control);

    std::atomic<bool> m_stop{false};
    std::atomic<unsigned long> m_acknowledged{0};
    std::atomic<unsigned long> m_syncAsked{0};
    std::unique_ptr<CWinThread> m_reader;
};

} // namespace robot
