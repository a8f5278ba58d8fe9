// What Windows reports back from the pass-through request is outside data: any returned byte
// count and data length must give a result within the caller's buffer.
#include "devpoke/DevpokeRequest.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8)
        return 0;
    uint32_t returned = 0;
    int32_t dataLength = 0;
    std::memcpy(&returned, data, 4);
    std::memcpy(&dataLength, data + 4, 4);
    if (!devpoke::IsValidDataLength(dataLength))
        return 0; // refused before any request is made

    devpoke::Request request;
    devpoke::BuildRequest(devpoke::BuildCdb(data[0], data[1]), dataLength, &request);
    size_t answerBytes = size - 8 < devpoke::kMaxDataLength ? size - 8 : devpoke::kMaxDataLength;
    std::memcpy(request.bytes + devpoke::kDataOffset, data + 8, answerBytes);

    std::vector<uint8_t> answer(static_cast<size_t>(dataLength)); // exactly the caller's buffer
    int result = devpoke::TakeAnswer(request, returned, dataLength, answer.data());
    if (result < 0 || result > dataLength)
        __builtin_trap();
    if (result > 0 && std::memcmp(answer.data(), request.bytes + devpoke::kDataOffset, result) != 0)
        __builtin_trap();
    return 0;
}
