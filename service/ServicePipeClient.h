// The client end of the command service's pipe: connect with retries, write one request, wait a
// bounded time for one reply and read it.
#pragma once

#include "PipeProtocol.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace plug {

constexpr int kServiceConnectAttempts = 101;
constexpr DWORD kServiceConnectRetryMs = 100;
constexpr DWORD kServiceReplyWaitMs = 30000; // after this the call ends as if no reply had come
constexpr DWORD kServiceReplyPollMs = 50;

enum class ServiceExchange {
    NotConnected, // the pipe did not open in 101 attempts
    WriteFailed,  // the request could not be written
    Completed,    // the request was written; the reply holds what arrived (maybe nothing)
};

struct ServiceReply {
    uint8_t bytes[kServiceMessageBytes] = {};
    size_t count = 0; // bytes delivered by the last read
};

// Sends request to the command service and reads at most capacity (up to 260) bytes of reply.
// Every wait goes through PlugSleep. The connection is closed before it returns.
ServiceExchange ExchangeWithService(const uint8_t (&request)[kServiceMessageBytes], size_t capacity,
                                    ServiceReply* reply);

} // namespace plug
