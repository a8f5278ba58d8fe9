// A host for the run's steps without a window: it keeps the traces and counts the repaint
// requests; programs are really started (a test chooses what they are) and waited for.
#pragma once

#include "run/RunHost.h"

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
    plug::UniqueHandle StartProgram(const std::wstring& program, const std::wstring& parameters,
                                    int showCommand) override;
    BOOL WaitForProgram(HANDLE process, DWORD timeoutMs) override;

    // True when some trace text contains part.
    bool Traced(const std::wstring& part) const;

    HWND owner = nullptr;
    std::vector<std::wstring> traces;
    std::vector<Start> starts;
    std::vector<DWORD> waits; // the time-outs asked for
    int wholeRepaints = 0;
    int statusRepaints = 0;
    bool startForReal = true; // false: record the start and hand back a process that has ended
};

} // namespace plugtest
