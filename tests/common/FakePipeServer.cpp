#include "FakePipeServer.h"

#include "service/PipeProtocol.h"
#include "tools/autorun_service/PipeIo.h"

using autorun_service::IoResult;

namespace plugtest {

namespace {

constexpr DWORD kRequestWaitMs = 10000;

// Acts as the client of pipe for a moment and tells how far that went.
int ImpersonationLevel(HANDLE pipe)
{
    if (!::ImpersonateNamedPipeClient(pipe))
        return -1;
    int level = -1;
    HANDLE token = nullptr;
    if (::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
        plug::UniqueHandle owned(token);
        SECURITY_IMPERSONATION_LEVEL value = SecurityAnonymous;
        DWORD size = 0;
        if (::GetTokenInformation(token, TokenImpersonationLevel, &value, sizeof(value), &size))
            level = static_cast<int>(value);
    }
    ::RevertToSelf();
    return level;
}

} // namespace

std::string Utf16Message(const std::u16string& text, size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < text.size() && 2 * i + 1 < size; ++i) {
        bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return bytes;
}

std::string PhoneReply(int32_t result, uint8_t b0, uint8_t b1, uint8_t b2)
{
    std::string bytes(8, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((static_cast<uint32_t>(result) >> (8 * i)) & 0xFF);
    bytes[4] = static_cast<char>(b0);
    bytes[5] = static_cast<char>(b1);
    bytes[6] = static_cast<char>(b2);
    return bytes;
}

FakePipeServer::FakePipeServer(Behaviour behaviour, std::string reply)
    : m_behaviour(behaviour), m_reply(std::move(reply)),
      m_pipe(::CreateNamedPipeW(plug::kServicePipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr)),
      m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    if (m_pipe && m_stop)
        m_thread = std::thread(&FakePipeServer::Serve, this);
}

FakePipeServer::~FakePipeServer()
{
    if (m_stop)
        ::SetEvent(m_stop.Get());
    if (m_thread.joinable())
        m_thread.join();
}

void FakePipeServer::Release()
{
    ::SetEvent(m_released.Get());
    ::WaitForSingleObject(m_replied.Get(), kRequestWaitMs);
}

std::vector<std::string> FakePipeServer::Requests() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_requests;
}

std::vector<int> FakePipeServer::ImpersonationLevels() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_impersonationLevels;
}

void FakePipeServer::Serve()
{
    while (autorun_service::WaitForClient(m_pipe.Get(), m_stop.Get())) {
        ServeConnection();
        ::DisconnectNamedPipe(m_pipe.Get());
    }
}

void FakePipeServer::ServeConnection()
{
    HANDLE pipe = m_pipe.Get();
    char request[1024];
    DWORD got = 0;
    if (autorun_service::ReadPipe(pipe, request, sizeof(request), m_stop.Get(), kRequestWaitMs, &got) != IoResult::Done)
        return;
    int level = ImpersonationLevel(pipe);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_requests.emplace_back(request, got);
        m_impersonationLevels.push_back(level);
    }
    if (m_behaviour == Behaviour::CloseWithoutReply)
        return;
    if (m_behaviour == Behaviour::ReplyWhenReleased) {
        HANDLE wake[2] = {m_released.Get(), m_stop.Get()};
        if (::WaitForMultipleObjects(2, wake, FALSE, INFINITE) != WAIT_OBJECT_0)
            return;
    }
    if (m_behaviour == Behaviour::Reply || m_behaviour == Behaviour::ReplyWhenReleased) {
        IoResult written = autorun_service::WritePipe(pipe, m_reply.data(), static_cast<DWORD>(m_reply.size()),
                                                      m_stop.Get(), kRequestWaitMs);
        ::SetEvent(m_replied.Get());
        if (written != IoResult::Done)
            return;
    }
    // Until the client closes its end (or the test ends): disconnecting earlier would discard the reply.
    char rest[16];
    autorun_service::ReadPipe(pipe, rest, sizeof(rest), m_stop.Get(), INFINITE, &got);
}

} // namespace plugtest
