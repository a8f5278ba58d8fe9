// Worker threads: AfxBeginThread starts a function on a new thread and returns its CWinThread,
// which deletes itself (closing the thread handle) when the function returns.
#pragma once

#include "Handle.h"

using AFX_THREADPROC = UINT (*)(LPVOID parameter);

class CWinThread {
public:
    HANDLE Handle() const { return m_thread.Get(); }
    DWORD m_nThreadID = 0;

    // Ends a thread that did not stop by itself, and frees this object (the thread can no
    // longer do so). The pointer is invalid afterwards.
    void TerminateAndDelete(DWORD exitCode);
    BOOL GetExitCode(DWORD* exitCode) const { return ::GetExitCodeThread(m_thread.Get(), exitCode); }

private:
    friend CWinThread* AfxBeginThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD);
    static unsigned __stdcall Start(void* self);

    plug::UniqueHandle m_thread;
    AFX_THREADPROC m_proc = nullptr;
    LPVOID m_parameter = nullptr;
};

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID parameter, int priority = THREAD_PRIORITY_NORMAL,
                           UINT stackSize = 0, DWORD createFlags = 0);
