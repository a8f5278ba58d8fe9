#include "PipeIo.h"

#include "framework/Handle.h"

namespace autorun_service {

namespace {

// One overlapped operation with its own event.
class PendingIo {
public:
    PendingIo() : m_event(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) { m_overlapped.hEvent = m_event.Get(); }
    bool IsReady() const { return m_event.IsValid(); }
    OVERLAPPED* Overlapped() { return &m_overlapped; }

    // Waits for the operation just started (started: its call's result) to end, up to timeout or
    // until stop is set; an operation that does not end in time is cancelled and waited for, so
    // that it never outlives this object.
    IoResult Finish(HANDLE pipe, BOOL started, HANDLE stop, DWORD timeoutMs, DWORD* bytes)
    {
        *bytes = 0;
        if (!started && ::GetLastError() != ERROR_IO_PENDING)
            return IoResult::Failed;
        HANDLE handles[2] = {m_event.Get(), stop};
        DWORD wait = started ? WAIT_OBJECT_0 : ::WaitForMultipleObjects(2, handles, FALSE, timeoutMs);
        if (wait == WAIT_OBJECT_0)
            return ::GetOverlappedResult(pipe, &m_overlapped, bytes, FALSE) ? IoResult::Done : IoResult::Failed;
        ::CancelIo(pipe);
        ::GetOverlappedResult(pipe, &m_overlapped, bytes, TRUE);
        return wait == WAIT_OBJECT_0 + 1 ? IoResult::Stopped : IoResult::TimedOut;
    }

private:
    plug::UniqueHandle m_event;
    OVERLAPPED m_overlapped = {};
};

} // namespace

IoResult ReadPipe(HANDLE pipe, void* buffer, DWORD size, HANDLE stop, DWORD timeoutMs, DWORD* got)
{
    PendingIo io;
    if (!io.IsReady())
        return IoResult::Failed;
    BOOL started = ::ReadFile(pipe, buffer, size, nullptr, io.Overlapped());
    return io.Finish(pipe, started, stop, timeoutMs, got);
}

IoResult WritePipe(HANDLE pipe, const void* buffer, DWORD size, HANDLE stop, DWORD timeoutMs)
{
    PendingIo io;
    if (!io.IsReady())
        return IoResult::Failed;
    BOOL started = ::WriteFile(pipe, buffer, size, nullptr, io.Overlapped());
    DWORD written = 0;
    IoResult result = io.Finish(pipe, started, stop, timeoutMs, &written);
    return (result == IoResult::Done && written != size) ? IoResult::Failed : result;
}

bool WaitForClient(HANDLE pipe, HANDLE stop)
{
    PendingIo io;
    if (!io.IsReady())
        return false;
    BOOL connected = ::ConnectNamedPipe(pipe, io.Overlapped());
    if (!connected) {
        DWORD error = ::GetLastError();
        if (error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA)
            return true; // connected before this call (and maybe gone again)
        ::SetLastError(error);
    }
    DWORD unused = 0;
    return io.Finish(pipe, connected, stop, INFINITE, &unused) == IoResult::Done;
}

} // namespace autorun_service
