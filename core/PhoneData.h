// The profile exchange between two running instances: PHONEDATA, the 2100-byte payload of the
// profile reply sent with WM_COPYDATA, and the test whether two profiles are the same device.
// Portable: no Windows headers.
#pragma once

#include "run/ResDefineCommand.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plug {

// Little-endian layout: flags (8 bytes), wait time, driver type, kit type (4 bytes each), then
// four texts of 260 UTF-16 units each (driver setup, kit setup, kit program, drive), each
// ending in a zero unit.
constexpr size_t kPhoneDataBytes = 2100;
constexpr size_t kPhoneDataTextUnits = 260;

// The payload of profile. A text longer than 259 units is cut so that its zero always fits.
std::vector<uint8_t> EncodePhoneData(const ResDefineCommand& profile);

// Reads a received payload into the exchanged fields of *profile (flags, wait, types, texts);
// the others stay. False, with *profile untouched, unless data is there and exactly 2100 bytes
// long. Each text is read up to its zero or its 259th unit, whichever comes first.
bool DecodePhoneData(const void* data, size_t size, ResDefineCommand* profile);

// Whether another instance serves the same device: the same drive letter (ignoring case; two
// empty drives count as the same), or else an identical profile (flags, wait, types, and the
// three file names ignoring case).
bool IsSameDeviceProfile(const ResDefineCommand& mine, const ResDefineCommand& other);

} // namespace plug
