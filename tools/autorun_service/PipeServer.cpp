#include "PipeServer.h"

#include "DeviceCommands.h"
#include "PipeIo.h"
#include "service/PipeProtocol.h"

#include <sddl.h>

#ifndef PIPE_REJECT_REMOTE_CLIENTS
#define PIPE_REJECT_REMOTE_CLIENTS 0x00000008
#endif

namespace autorun_service {

namespace {

// Local users may read and write; network logons are refused; the system and administrators
// have full control. One instance only, so nobody else can serve the same name meanwhile.
const wchar_t kPipeSecurity[] = L"D:(D;;GA;;;NU)(A;;GRGW;;;AU)(A;;GA;;;SY)(A;;GA;;;BA)";
constexpr DWORD kPipeBufferSize = 4096;

} // namespace

DWORD CPipeServer::Create()
{
    plug::UniqueLocalMemory descriptor;
    SECURITY_ATTRIBUTES security = {sizeof(security), nullptr, FALSE};
    PSECURITY_DESCRIPTOR converted = nullptr;
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(kPipeSecurity, SDDL_REVISION_1, &converted, nullptr)) {
        descriptor.Attach(converted);
        security.lpSecurityDescriptor = converted;
    }
    const DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE;
    const DWORD pipeMode = PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT;
    m_pipe.Attach(::CreateNamedPipeW(plug::kServicePipeName, openMode, pipeMode | PIPE_REJECT_REMOTE_CLIENTS, 1,
                                     kPipeBufferSize, kPipeBufferSize, 0, &security));
    // Windows before Vista does not know the flag; there the security alone refuses the network.
    if (!m_pipe && ::GetLastError() == ERROR_INVALID_PARAMETER)
        m_pipe.Attach(::CreateNamedPipeW(plug::kServicePipeName, openMode, pipeMode, 1, kPipeBufferSize,
                                         kPipeBufferSize, 0, &security));
    return m_pipe ? NO_ERROR : ::GetLastError();
}

DWORD CPipeServer::Serve(HANDLE stop)
{
    while (::WaitForSingleObject(stop, 0) != WAIT_OBJECT_0) {
        if (WaitForClient(m_pipe.Get(), stop))
            ServeConnection(stop);
        else if (::WaitForSingleObject(stop, 0) != WAIT_OBJECT_0)
            ::Sleep(100); // a failed wait for a client: do not spin
        ::DisconnectNamedPipe(m_pipe.Get());
    }
    return NO_ERROR;
}

// Anything but one well-formed request closes the connection without a reply.
void CPipeServer::ServeConnection(HANDLE stop)
{
    HANDLE pipe = m_pipe.Get();
    uint8_t request[plug::kServiceMessageBytes] = {};
    DWORD got = 0;
    if (ReadPipe(pipe, request, sizeof(request), stop, kRequestWaitMs, &got) != IoResult::Done)
        return; // silent, gone, or a message longer than a request
    plug::ServiceRequest parsed;
    if (!plug::ParseServiceRequest(request, got, &parsed))
        return;
    Reply reply = RunRequest(parsed);
    if (WritePipe(pipe, reply.bytes, static_cast<DWORD>(reply.size), stop, kReplyWriteWaitMs) != IoResult::Done)
        return;
    // Disconnecting discards what the client has not read yet: wait until it has closed its end.
    uint8_t rest[16];
    ReadPipe(pipe, rest, sizeof(rest), stop, kClientCloseWaitMs, &got);
}

} // namespace autorun_service
