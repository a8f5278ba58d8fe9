// What the steps of a run need from the outside world, and nothing else: the trace, the window
// that owns their message boxes, repaint requests and starting other programs. The main dialog
// implements it; tests use a fake.
#pragma once

#include "framework/Handle.h"

#include <windows.h>

#include <string>

class IRunHost {
public:
    virtual ~IRunHost() = default;

    virtual void Trace(const std::wstring& text, bool startNew = false) = 0;

    // The window that owns the run's message boxes, or nullptr.
    virtual HWND MessageOwner() = 0;

    // Repaint requests (with background erase): the whole window, or the status area.
    virtual void RepaintAll() = 0;
    virtual void RepaintStatus() = 0;

    // Starts program through the shell (verb "open", its own folder as working directory, the
    // current directory kept). Returns the process to wait on, or an empty handle.
    virtual plug::UniqueHandle StartProgram(const std::wstring& program, const std::wstring& parameters,
                                            int showCommand) = 0;
    // Waits until process has ended, at most timeoutMs; TRUE when it has.
    virtual BOOL WaitForProgram(HANDLE process, DWORD timeoutMs) = 0;
};
