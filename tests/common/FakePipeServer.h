// A stand-in for the command service on "\\.\pipe\MyAutoRunPipe", served by a thread of the test
// process: it records each request and answers as told.
#pragma once

#include "framework/Handle.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace plugtest {

// text as UTF-16LE bytes, zero-filled (or cut) to size bytes: a pipe message.
std::string Utf16Message(const std::u16string& text, size_t size);
// The service's reply to the phone-setting query: the result (32 bits, little-endian), the three
// setting bytes and a zero byte.
std::string PhoneReply(int32_t result, uint8_t b0, uint8_t b1, uint8_t b2);

class FakePipeServer {
public:
    enum class Behaviour {
        Reply,             // write the reply in one write, then wait for the client to close
        CloseWithoutReply, // read the request and close the connection
        Silent,            // read the request and keep the connection open without answering
        ReplyWhenReleased, // read the request and write the reply only once the test calls Release
    };

    explicit FakePipeServer(Behaviour behaviour, std::string reply = std::string());
    ~FakePipeServer();
    FakePipeServer(const FakePipeServer&) = delete;
    FakePipeServer& operator=(const FakePipeServer&) = delete;

    bool IsListening() const { return m_pipe.IsValid(); }
    // The request bytes received, one entry per connection.
    std::vector<std::string> Requests() const;
    // How far the server could act as each client (SecurityAnonymous to SecurityDelegation, as
    // impersonating it gave; -1 when it could not impersonate at all), one entry per connection.
    std::vector<int> ImpersonationLevels() const;
    // ReplyWhenReleased: lets the reply go and returns once it has been written (or after 10 s).
    void Release();

private:
    void Serve();
    void ServeConnection();

    Behaviour m_behaviour;
    std::string m_reply;
    plug::UniqueFile m_pipe;
    plug::UniqueHandle m_stop;
    plug::UniqueHandle m_released{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    plug::UniqueHandle m_replied{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    mutable std::mutex m_lock;
    std::vector<std::string> m_requests;
    std::vector<int> m_impersonationLevels;
    std::thread m_thread;
};

} // namespace plugtest
