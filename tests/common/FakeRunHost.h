// A host for the run's steps without a window: it keeps the traces and counts the repaint
// requests; programs are really started (a test chooses what they are) and waited for.
#pragma once

#include "run/RunHost.h"

#include <functional>
#include <string>
#include <vector>

namespace plugtest {

class FakeRunHost : public IRunHost {
public:
    struct Start {
        std::wstring program;
        std::wstring parameters;
        int showCommand;
    };

    void Trace(const std::wstring& text, bool startNew = false) override;
    HWND MessageOwner() override { return owner; }
    void RepaintAll() override { ++wholeRepaints; }
    void RepaintStatus() override { ++statusRepaints; }
    plug::StartedProgram StartProgram(const std::wstring& program, const std::wstring& parameters,
                                      int showCommand) override;
    plug::ProgramWait WaitForProgram(plug::StartedProgram& program, DWORD timeoutMs,
                                     DWORD descendantsTimeoutMs) override;
    void LaunchProgram(const std::wstring& program, const std::wstring& parameters) override;
    void PostEnableCancelButtons(BOOL enable) override { buttonChanges.push_back(enable != FALSE); }
    void PostBringToFront() override { ++bringsToFront; }
    void RunCompanionInstaller() override { ++companionRuns; }

    // True when some trace text contains part.
    bool Traced(const std::wstring& part) const;

    HWND owner = nullptr;
    std::vector<std::wstring> traces;
    std::vector<Start> starts;
    std::vector<DWORD> waits;                    // the time-outs asked for (for the program itself)
    std::vector<DWORD> descendantWaits;          // and for the processes it started
    std::vector<Start> launches;                 // programs started without waiting (showCommand unused)
    std::vector<std::wstring> launchDirectories; // the process's current directory at each launch
    std::vector<bool> buttonChanges;             // PostEnableCancelButtons calls: false = disabled
    int bringsToFront = 0;
    int companionRuns = 0;
    int wholeRepaints = 0;
    int statusRepaints = 0;
    bool startForReal = true;                  // false: record starts and launches; a started one has ended at once
    std::function<void(const Start&)> onStart; // called with each start before the program starts
    std::function<void()> onWait;              // called at each wait before it waits
};

} // namespace plugtest
