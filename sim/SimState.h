// The state of one simulated device, kept in a profile file per drive letter.
#pragma once

#include <windows.h>

#include <string>

namespace sim {

struct DeviceState {
    bool modemMode = false;
    int replyResult = 3;
    BYTE replyBytes[3] = {0x3F, 0x03, 0xE8};
    int fail = 0;
    std::wstring failOn; // empty: every command; else bytes 1 and 2 in hexadecimal, "0101"
    bool denyDirect = false;
};

std::wstring StateFilePath(wchar_t letter);

// The device's state: its changed state, else the default state at the root of its drive.
// False when the drive has neither (no simulated device behind it).
bool LoadDeviceState(wchar_t letter, DeviceState* state);

// Keeps state as the device's changed state.
void SaveDeviceState(wchar_t letter, const DeviceState& state);

// Appends one line to the command log.
void AppendCommandLog(const std::wstring& line);

} // namespace sim
