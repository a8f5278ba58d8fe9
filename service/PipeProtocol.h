// The messages between Plugstart and its command service on the pipe "\\.\pipe\MyAutoRunPipe":
// a 260-byte request (keyword, backslash, drive letter, in UTF-16LE, zero-filled), answered by an
// 8-byte PhoneSetReply or by the decimal text of the mode change's result.
#pragma once

#include "ServiceIdentity.h"
#include "PhoneSetReply.h"

#include <cstddef>
#include <cstdint>

namespace plug {

constexpr size_t kServiceMessageBytes = 260; // request, and the longest mode-change reply
constexpr size_t kPhoneSetReplyBytes = sizeof(PhoneSetReply);

struct ServiceRequest {
    uint32_t control = 0;     // one of the two control codes
    uint16_t driveLetter = 0; // A to Z or a to z
};

// The request message for control and driveLetter. False (message all zeros) for an unknown code.
bool BuildServiceRequest(uint32_t control, uint16_t driveLetter, uint8_t (&message)[kServiceMessageBytes]);

// Reads a request as the service receives it: exactly 260 bytes holding a known keyword, a
// backslash, a letter A to Z or a to z, and a zero code unit. False for anything else.
bool ParseServiceRequest(const uint8_t* bytes, size_t count, ServiceRequest* request);

// The phone-setting reply (eight bytes, the rest of reply zeroed); returns its size.
size_t EncodePhoneSetReply(int32_t result, const uint8_t (&data)[3], uint8_t (&reply)[kServiceMessageBytes]);

// Lays the received bytes of a phone-setting reply over *reply: the result field and as many
// data bytes as arrived (the others keep their values). Fewer than the four bytes of the result
// field leave *reply unchanged and give false.
bool ApplyPhoneSetReply(const uint8_t* bytes, size_t count, PhoneSetReply* reply);

// The mode change's result as zero-terminated decimal UTF-16LE text; returns its size in bytes.
size_t EncodeModeChangeReply(int32_t result, uint8_t (&reply)[kServiceMessageBytes]);

// The value of a mode-change reply, read only within the count bytes received: white space
// skipped, an optional sign, the decimal digits up to the first other character (none gives 0;
// values beyond the 32-bit range are clamped).
int32_t ParseModeChangeReply(const uint8_t* bytes, size_t count);

} // namespace plug
