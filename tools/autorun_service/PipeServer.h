// The command service's pipe "\\.\pipe\MyAutoRunPipe": one local connection at a time, one
// request and one reply per connection. Every wait is bounded, so that a client that connects
// and stays silent holds up the next one for a few seconds at most.
#pragma once

#include "framework/Handle.h"

#include <windows.h>

namespace autorun_service {

constexpr DWORD kRequestWaitMs = 3000;     // for the request, after a client has connected
constexpr DWORD kReplyWriteWaitMs = 5000;  // for the reply to be taken by the pipe
constexpr DWORD kClientCloseWaitMs = 5000; // for the client to read the reply and close its end

class CPipeServer {
public:
    // Creates the pipe (refusing remote clients). Returns 0 or the Win32 error.
    DWORD Create();
    // Serves connections, one at a time, until stop is set; then returns 0.
    DWORD Serve(HANDLE stop);

private:
    void ServeConnection(HANDLE stop);

    plug::UniqueFile m_pipe;
};

} // namespace autorun_service
