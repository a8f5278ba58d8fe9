// How the device's answer to the phone-setting query (F1 02 20) shapes the device profile.
// Portable: no Windows headers.
#pragma once

#include "run/ResDefineCommand.h"

#include <cstdint>

namespace plug {

// Applies a phone-setting answer to profile: result is the query's result (the number of
// answer bytes, or what the command service reported), bytes the three answer bytes (zeros
// where the device sent none). Every result that gets here sets the eight flags from byte 0;
// only a full answer (result 3) sets the wait time from bytes 1 and 2 (big-endian), and only
// then, when flag 6 is set, do flags 0 to 3 choose the kit type (both of 0 and 1 clear: the PC
// suite) and the driver type (both of 2 and 3 set: EMP, else QCT).
void ApplyPhoneSettingReply(int result, const uint8_t (&bytes)[3], ResDefineCommand& profile);

} // namespace plug
