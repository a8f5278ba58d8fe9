#include "ServicePipeClient.h"

#include "framework/Handle.h"
#include "framework/SleepSeam.h"

namespace plug {

namespace {

UniqueFile ConnectToService()
{
    // Whoever serves the pipe may identify the user, never act as the user: a program that
    // created the pipe's name before the service gains nothing from the user's rights.
    const DWORD identifyOnly = SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;
    for (int attempt = 0; attempt < kServiceConnectAttempts; ++attempt) {
        UniqueFile pipe(::CreateFileW(kServicePipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      identifyOnly, nullptr));
        if (pipe)
            return pipe;
        PlugSleep(kServiceConnectRetryMs); // missing or busy: the service may be starting or serving another
    }
    return UniqueFile();
}

// Waits until reply bytes are ready to read. False when the service closed the connection or
// did not answer within replyWaitMs.
bool WaitForReply(HANDLE pipe, DWORD replyWaitMs)
{
    for (DWORD waited = 0;; waited += kServiceReplyPollMs) {
        DWORD available = 0;
        if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr))
            return false;
        if (available > 0)
            return true;
        if (waited >= replyWaitMs)
            return false;
        PlugSleep(kServiceReplyPollMs);
    }
}

// Reads once; a read that reports more data than fits is repeated into the same buffer.
size_t ReadReply(HANDLE pipe, uint8_t* buffer, size_t capacity)
{
    DWORD got = 0;
    BOOL read = FALSE;
    do {
        got = 0;
        read = ::ReadFile(pipe, buffer, static_cast<DWORD>(capacity), &got, nullptr);
    } while (!read && ::GetLastError() == ERROR_MORE_DATA);
    return got;
}

} // namespace

ServiceExchange ExchangeWithService(const uint8_t (&request)[kServiceMessageBytes], size_t capacity, DWORD replyWaitMs,
                                    ServiceReply* reply)
{
    reply->count = 0;
    if (capacity > sizeof(reply->bytes))
        capacity = sizeof(reply->bytes);

    UniqueFile pipe = ConnectToService();
    if (!pipe)
        return ServiceExchange::NotConnected;

    DWORD written = 0;
    if (!::WriteFile(pipe.Get(), request, kServiceMessageBytes, &written, nullptr) || written != kServiceMessageBytes)
        return ServiceExchange::WriteFailed;

    if (WaitForReply(pipe.Get(), replyWaitMs))
        reply->count = ReadReply(pipe.Get(), reply->bytes, capacity);
    return ServiceExchange::Completed;
}

} // namespace plug
