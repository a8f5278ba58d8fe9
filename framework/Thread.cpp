#include "Thread.h"

#include "SleepSeam.h"

#include <process.h>

namespace {

// What the new thread runs; owned by the thread itself, so that it never touches the
// CWinThread, which its owner may let go at any time.
struct ThreadStart {
    AFX_THREADPROC proc;
    LPVOID parameter;
};

} // namespace

unsigned __stdcall CWinThread::Start(void* start)
{
    std::unique_ptr<ThreadStart> what(static_cast<ThreadStart*>(start));
    return what->proc(what->parameter);
}

BOOL CWinThread::Join(DWORD timeoutMs) const
{
    return ::WaitForSingleObject(m_thread.Get(), timeoutMs) == WAIT_OBJECT_0;
}

void CWinThread::JoinHandlingSentMessages() const
{
    HANDLE thread = m_thread.Get();
    while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE); // handles the sent ones
    }
}

void CWinThread::TerminateWithExitCode()
{
    DWORD exitCode = 0;
    GetExitCode(&exitCode);
    ::TerminateThread(m_thread.Get(), exitCode);
    Join();
}

std::unique_ptr<CWinThread> AfxBeginThread(AFX_THREADPROC proc, LPVOID parameter, int priority, UINT stackSize,
                                           DWORD createFlags)
{
    std::unique_ptr<ThreadStart> start(new ThreadStart{proc, parameter});
    unsigned id = 0;
    uintptr_t handle = ::_beginthreadex(nullptr, stackSize, &CWinThread::Start, start.get(), CREATE_SUSPENDED, &id);
    if (handle == 0)
        return nullptr;
    start.release(); // the thread owns it now
    std::unique_ptr<CWinThread> thread(new CWinThread);
    thread->m_thread.Attach(reinterpret_cast<HANDLE>(handle));
    thread->m_nThreadID = id;
    ::SetThreadPriority(thread->Handle(), priority);
    if (!(createFlags & CREATE_SUSPENDED))
        ::ResumeThread(thread->Handle());
    return thread;
}

namespace plug {

BOOL WaitForWorkerOrTerminate(CWinThread& thread, const std::function<bool()>& stillRunning, int maxSleeps,
                              DWORD sleepMs)
{
    for (int slept = 0; stillRunning();) {
        if (slept == maxSleeps) {
            thread.TerminateWithExitCode();
            return FALSE;
        }
        PlugSleepHandlingSentMessages(sleepMs);
        ++slept;
    }
    return TRUE;
}

} // namespace plug
