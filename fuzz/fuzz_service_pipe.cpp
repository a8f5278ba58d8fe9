// The command service's pipe messages are outside data on both ends: the service parses any
// request bytes a local process writes, Plugstart parses whatever the service answers.
#include "service/PipeProtocol.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Exact-size copies, so that the sanitizer sees any read past the bytes received.
    std::vector<uint8_t> bytes(data, data + size);

    plug::ServiceRequest request;
    if (plug::ParseServiceRequest(bytes.data(), bytes.size(), &request)) {
        uint8_t rebuilt[plug::kServiceMessageBytes];
        if (!plug::BuildServiceRequest(request.control, request.driveLetter, rebuilt))
            __builtin_trap();
        plug::ServiceRequest again;
        if (!plug::ParseServiceRequest(rebuilt, sizeof(rebuilt), &again) || again.control != request.control ||
            again.driveLetter != request.driveLetter)
            __builtin_trap();
    }

    PhoneSetReply reply = {-1000, {1, 2, 3}, 4};
    bool applied = plug::ApplyPhoneSetReply(bytes.data(), bytes.size(), &reply);
    if (applied != (size >= 4))
        __builtin_trap();
    if (!applied && (reply.nResult != -1000 || reply.byData[0] != 1))
        __builtin_trap();

    int32_t value = plug::ParseModeChangeReply(bytes.data(), bytes.size());
    uint8_t encoded[plug::kServiceMessageBytes];
    size_t encodedSize = plug::EncodeModeChangeReply(value, encoded);
    if (encodedSize > sizeof(encoded) || plug::ParseModeChangeReply(encoded, encodedSize) != value)
        __builtin_trap();
    return 0;
}
