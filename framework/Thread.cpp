#include "Thread.h"

#include <process.h>

unsigned __stdcall CWinThread::Start(void* self)
{
    CWinThread* thread = static_cast<CWinThread*>(self);
    UINT code = thread->m_proc(thread->m_parameter);
    delete thread;
    return code;
}

void CWinThread::TerminateAndDelete(DWORD exitCode)
{
    ::TerminateThread(m_thread.Get(), exitCode);
    ::WaitForSingleObject(m_thread.Get(), INFINITE);
    delete this;
}

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID parameter, int priority, UINT stackSize, DWORD createFlags)
{
    CWinThread* thread = new CWinThread;
    thread->m_proc = proc;
    thread->m_parameter = parameter;
    unsigned id = 0;
    uintptr_t handle = ::_beginthreadex(nullptr, stackSize, &CWinThread::Start, thread, CREATE_SUSPENDED, &id);
    if (handle == 0) {
        delete thread;
        return nullptr;
    }
    thread->m_thread.Attach(reinterpret_cast<HANDLE>(handle));
    thread->m_nThreadID = id;
    ::SetThreadPriority(thread->m_thread.Get(), priority);
    if (!(createFlags & CREATE_SUSPENDED))
        ::ResumeThread(thread->m_thread.Get());
    return thread;
}
