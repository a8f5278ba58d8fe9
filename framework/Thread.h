// Worker threads: AfxBeginThread starts a function on a new thread and hands its CWinThread to
// the caller, who owns it. The object never deletes itself; its handle stays valid until the
// owner lets the object go, so the owner can always ask whether the thread still runs, or wait
// for it: the thread's end is the worker's signal that it has finished.
#pragma once

#include "Handle.h"

#include <functional>
#include <memory>

using AFX_THREADPROC = UINT (*)(LPVOID parameter);

class CWinThread {
public:
    CWinThread() = default;
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;
    // Closes the handle. A thread that still runs goes on running; the owner decides whether to
    // wait for it first (Join) or to end it (TerminateWithExitCode).
    ~CWinThread() = default;

    HANDLE Handle() const { return m_thread.Get(); }
    DWORD m_nThreadID = 0;

    BOOL GetExitCode(DWORD* exitCode) const { return ::GetExitCodeThread(m_thread.Get(), exitCode); }
    // TRUE while the thread runs: its function has not returned, and it was not terminated.
    BOOL IsRunning() const { return ::WaitForSingleObject(m_thread.Get(), 0) == WAIT_TIMEOUT; }
    // Waits up to timeoutMs for the thread to end; TRUE when it has ended.
    BOOL Join(DWORD timeoutMs = INFINITE) const;
    // Waits for the thread to end while handling the messages that other threads send to the
    // caller's windows, so that a thread which asks one of those windows something is answered.
    void JoinHandlingSentMessages() const;
    // Ends a thread that did not stop by itself, with the exit code it reports now, and waits
    // until it is gone.
    void TerminateWithExitCode();

private:
    friend std::unique_ptr<CWinThread> AfxBeginThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD);
    static unsigned __stdcall Start(void* start);

    plug::UniqueHandle m_thread;
};

// Starts proc(parameter) on a new thread; nullptr when the thread cannot be created.
std::unique_ptr<CWinThread> AfxBeginThread(AFX_THREADPROC proc, LPVOID parameter, int priority = THREAD_PRIORITY_NORMAL,
                                           UINT stackSize = 0, DWORD createFlags = 0);

namespace plug {

// The cancel wait for a worker: while stillRunning() holds, sleeps sleepMs (handling messages
// sent to the caller's windows meanwhile, so a worker that asks them something is answered);
// once maxSleeps sleeps have passed and it still runs, terminates the thread with its exit code.
// TRUE when the worker ended by itself, FALSE when it was terminated.
BOOL WaitForWorkerOrTerminate(CWinThread& thread, const std::function<bool()>& stillRunning, int maxSleeps,
                              DWORD sleepMs);

} // namespace plug
