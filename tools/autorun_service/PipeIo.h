// Overlapped operations on the server end of a named pipe, each bounded by a time-out and by a
// stop event, so that no client can hold the server for longer than the server allows.
#pragma once

#include <windows.h>

namespace autorun_service {

enum class IoResult {
    Done,     // the operation completed (bytes tells how many)
    Failed,   // it failed (GetLastError tells why: ERROR_BROKEN_PIPE, ERROR_MORE_DATA, ...)
    TimedOut, // it did not complete in time and was cancelled
    Stopped,  // the stop event was set; the operation was cancelled
};

// The pipe must have been opened with FILE_FLAG_OVERLAPPED.
IoResult ReadPipe(HANDLE pipe, void* buffer, DWORD size, HANDLE stop, DWORD timeoutMs, DWORD* got);
IoResult WritePipe(HANDLE pipe, const void* buffer, DWORD size, HANDLE stop, DWORD timeoutMs);

// Waits until a client has connected. False when stop was set or the pipe failed.
bool WaitForClient(HANDLE pipe, HANDLE stop);

} // namespace autorun_service
