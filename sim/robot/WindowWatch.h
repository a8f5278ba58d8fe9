// Watches the top-level windows of the prefix: reports each new window, each change of title and
// each window that goes; answers message boxes and the PC-suite guide by the policy, after the
// plug-in run has had the chance to take a screenshot.
#pragma once

#include "AnswerPolicy.h"
#include "RobotEvents.h"

#include <windows.h>

#include <map>
#include <string>

namespace robot {

// What kind of window the robot sees.
enum class WindowKind { Window, MessageBox, Guide };

// A message box: a dialog with the message text control (id 0xFFFF); the guide: the PC-suite
// guide dialog (its OK, X, CD and Download controls, no Cancel).
WindowKind KindOf(HWND window);

class WindowWatch {
public:
    // ackWaitMs: how long to wait for the run's acknowledgement of a box before answering it.
    WindowWatch(AnswerPolicy policy, DWORD ackWaitMs, const RunControl& control);
    void Poll();

private:
    struct Seen {
        std::wstring title;
        WindowKind kind = WindowKind::Window;
        bool answered = false;
        DWORD answeredAt = 0;
        int presses = 0;
    };
    void Appeared(HWND window, Seen& seen);
    void Answer(HWND window, Seen& seen);
    void WaitForAck(unsigned long number) const;

    AnswerPolicy m_policy;
    DWORD m_ackWaitMs;
    const RunControl& m_control;
    unsigned long m_boxes = 0;
    std::map<HWND, Seen> m_seen;
};

} // namespace robot
