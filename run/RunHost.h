// What the steps of a run need from the outside world, and nothing else: the trace, the window
// that owns their message boxes, repaint requests, starting other programs and the few things
// the sequence does to the window. The main dialog implements it; tests use a fake.
#pragma once

#include "framework/StartedProgram.h"

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
    // current directory kept), following the processes it starts. Empty when it did not start.
    virtual plug::StartedProgram StartProgram(const std::wstring& program, const std::wstring& parameters,
                                              int showCommand) = 0;
    // Waits until the program has ended, at most timeoutMs, and then until every process it
    // started (and they started) has ended, at most descendantsTimeoutMs more.
    virtual plug::ProgramWait WaitForProgram(plug::StartedProgram& program, DWORD timeoutMs,
                                             DWORD descendantsTimeoutMs) = 0;
    // Starts program with parameters through the shell (verb "open", no working directory,
    // shown normally) without waiting for it; the current directory is kept.
    virtual void LaunchProgram(const std::wstring& program, const std::wstring& parameters) = 0;

    // Requests that the window's own thread carries out: they are posted and return at once (the
    // worker must never wait for that thread, which may be waiting for the worker). The window
    // carries them out in the order they were posted, when its thread next handles messages.
    // The "Cancel" and "X" buttons, disabled while a setup program or the companion installer runs.
    virtual void PostEnableCancelButtons(BOOL enable) = 0;
    // The window to the foreground (after a setup program had it).
    virtual void PostBringToFront() = 0;
    // Runs the companion-suite installer dialog modally (the PC suite is installed through it).
    virtual void RunCompanionInstaller() = 0;
};
