// The SCSI pass-through request that Devpoke hands to Windows, built and read as plain bytes so
// that its layout is fixed in every build and can be checked without Windows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace devpoke {

// Results of Devpoke; a non-negative value counts the answer bytes.
constexpr int kResultNotALetter = -1;
constexpr int kResultOpenFailed = -2;
constexpr int kResultRequestFailed = -3;
constexpr int kResultAccessDenied = -20;

// Layout of the request: the pass-through header of 32-bit Windows, a sense area and the data area.
constexpr size_t kRequestSize = 1104;
constexpr uint16_t kHeaderLength = 44;
constexpr size_t kCdbOffset = 28;
constexpr size_t kCdbLength = 6;
constexpr size_t kSenseOffset = 48;
constexpr size_t kDataOffset = 80;
constexpr int kMaxDataLength = 1024;
constexpr uint32_t kTimeOutSeconds = 120;
constexpr uint8_t kDataIn = 1; // data flows from the device to the host
constexpr uint8_t kVendorOperation = 0xF1;

struct Cdb {
    uint8_t bytes[kCdbLength];
};

// One request; every call builds its own.
struct Request {
    alignas(8) uint8_t bytes[kRequestSize];
};

// TRUE when the low byte of letter is A to Z or a to z.
bool IsDriveLetter(int letter);

// The Win32 device path of a volume as a zero-terminated text: "\\.\E:" for E.
struct DevicePathText {
    char text[7];
};

// The device path of the volume of letter (its low byte; the letter keeps its case).
DevicePathText DevicePath(int letter);

// A data length the request can hold: 0 to 1024.
bool IsValidDataLength(int dataLength);

// The vendor command F1 with the low bytes of the two command bytes, then three zeros.
Cdb BuildCdb(int firstByte, int secondByte);

// Zeroes request and fills its header for cdb and dataLength (which must be valid).
void BuildRequest(const Cdb& cdb, int dataLength, Request* request);

// The output length handed to Windows: the data length plus the data offset.
uint32_t OutputLength(int dataLength);

// Reads the answer after a successful request: bytesReturned minus the data offset, taken as an
// unsigned number, is the answer's size. A size above 1024 (a report below the data offset
// included) or above dataLength gives 0; otherwise that many bytes of the data area are copied
// to answer and their count is the result.
int TakeAnswer(const Request& request, uint32_t bytesReturned, int dataLength, uint8_t* answer);

} // namespace devpoke
