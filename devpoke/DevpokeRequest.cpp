#include "DevpokeRequest.h"

#include <cstring>

namespace devpoke {

namespace {

void PutUint16(uint8_t* at, uint16_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void PutUint32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Offsets of the header fields.
constexpr size_t kLengthField = 0;
constexpr size_t kCdbLengthField = 6;
constexpr size_t kSenseLengthField = 7;
constexpr size_t kDataInField = 8;
constexpr size_t kTransferLengthField = 12;
constexpr size_t kTimeOutField = 16;
constexpr size_t kDataOffsetField = 20;
constexpr size_t kSenseOffsetField = 24;

} // namespace

bool IsDriveLetter(int letter)
{
    uint8_t low = static_cast<uint8_t>(letter);
    return (low >= 'A' && low <= 'Z') || (low >= 'a' && low <= 'z');
}

DevicePathText DevicePath(int letter)
{
    DevicePathText path = {{'\\', '\\', '.', '\\', static_cast<char>(static_cast<uint8_t>(letter)), ':', '\0'}};
    return path;
}

bool IsValidDataLength(int dataLength) { return dataLength >= 0 && dataLength <= kMaxDataLength; }

Cdb BuildCdb(int firstByte, int secondByte)
{
    Cdb cdb = {{kVendorOperation, static_cast<uint8_t>(firstByte), static_cast<uint8_t>(secondByte), 0, 0, 0}};
    return cdb;
}

void BuildRequest(const Cdb& cdb, int dataLength, Request* request)
{
    uint8_t* bytes = request->bytes;
    std::memset(bytes, 0, kRequestSize);
    PutUint16(bytes + kLengthField, kHeaderLength);
    bytes[kCdbLengthField] = static_cast<uint8_t>(kCdbLength);
    bytes[kSenseLengthField] = 0; // no sense data requested
    bytes[kDataInField] = kDataIn;
    PutUint32(bytes + kTransferLengthField, static_cast<uint32_t>(dataLength));
    PutUint32(bytes + kTimeOutField, kTimeOutSeconds);
    PutUint32(bytes + kDataOffsetField, static_cast<uint32_t>(kDataOffset));
    PutUint32(bytes + kSenseOffsetField, static_cast<uint32_t>(kSenseOffset));
    std::memcpy(bytes + kCdbOffset, cdb.bytes, kCdbLength);
}

uint32_t OutputLength(int dataLength) { return static_cast<uint32_t>(dataLength) + static_cast<uint32_t>(kDataOffset); }

int TakeAnswer(const Request& request, uint32_t bytesReturned, int dataLength, uint8_t* answer)
{
    uint32_t size = bytesReturned - static_cast<uint32_t>(kDataOffset);
    if (size > static_cast<uint32_t>(kMaxDataLength))
        return 0;
    // Windows never reports more than the output length; a report that does is out of range too,
    // since the caller's buffer holds only dataLength bytes.
    if (dataLength < 0 || size > static_cast<uint32_t>(dataLength))
        return 0;
    if (size > 0)
        std::memcpy(answer, request.bytes + kDataOffset, size);
    return static_cast<int>(size);
}

} // namespace devpoke
