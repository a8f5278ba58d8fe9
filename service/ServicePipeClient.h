// The client end of the command service's pipe: connect with retries, write one request, wait a
// bounded time for one reply and read it.
#pragma once

#include "PipeProtocol.h"
#include "devpoke/DevpokeRequest.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace plug {

constexpr int kServiceConnectAttempts = 101;
constexpr DWORD kServiceConnectRetryMs = 100;
constexpr DWORD kServiceReplyPollMs = 50;
// What the service may take besides the device: loading the device library, its own waits.
constexpr DWORD kServiceReplyMarginMs = 30000;

// How long the client waits for the reply to a request for which the service sends
// deviceCommands vendor commands: each may last the device's own time-out, and a slow device
// that succeeds must not read as a failure. After this the call ends as if no reply had come.
constexpr DWORD ServiceReplyWaitMs(DWORD deviceCommands)
{
    return deviceCommands * devpoke::kTimeOutSeconds * 1000 + kServiceReplyMarginMs;
}

enum class ServiceExchange {
    NotConnected, // the pipe did not open in 101 attempts
    WriteFailed,  // the request could not be written
    Completed,    // the request was written; the reply holds what arrived (maybe nothing)
};

struct ServiceReply {
    uint8_t bytes[kServiceMessageBytes] = {};
    size_t count = 0; // bytes delivered by the last read
};

// Sends request to the command service and reads at most capacity (up to 260) bytes of reply,
// waiting replyWaitMs at most for it. Every wait goes through PlugSleep. The connection is
// closed before it returns.
ServiceExchange ExchangeWithService(const uint8_t (&request)[kServiceMessageBytes], size_t capacity, DWORD replyWaitMs,
                                    ServiceReply* reply);

} // namespace plug
