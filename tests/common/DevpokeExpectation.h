// The pass-through request that Devpoke must hand to Windows, written out from the layout table
// of the interface (not from the code that builds it).
#pragma once

#include <cstdint>
#include <vector>

namespace plugtest {

inline std::vector<uint8_t> ExpectedDevpokeRequest(uint8_t first, uint8_t second, uint32_t dataLength)
{
    std::vector<uint8_t> bytes(1104, 0);
    bytes[0] = 44; // Length
    bytes[6] = 6;  // CdbLength
    bytes[8] = 1;  // DataIn
    for (int i = 0; i < 4; ++i) {
        bytes[12 + i] = static_cast<uint8_t>(dataLength >> (8 * i)); // DataTransferLength
        bytes[16 + i] = static_cast<uint8_t>(120u >> (8 * i));       // TimeOutValue
        bytes[20 + i] = static_cast<uint8_t>(80u >> (8 * i));        // DataBufferOffset
        bytes[24 + i] = static_cast<uint8_t>(48u >> (8 * i));        // SenseInfoOffset
    }
    bytes[28] = 0xF1; // Cdb
    bytes[29] = first;
    bytes[30] = second;
    return bytes;
}

} // namespace plugtest
