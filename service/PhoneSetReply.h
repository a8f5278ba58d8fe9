// The command service's reply to the phone-setting query and the two service control codes.
// Portable: no Windows headers (the pipe's wire format is built on it).
#pragma once

#include <cstdint>

// Control codes of ServiceControl.
enum : uint32_t {
    USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO = 128,
    USER_SERVICE_CONTROL_SEND_PHONE_MODE = 129,
};

#pragma pack(push, 1)
// The service's reply to the phone-setting query (little-endian on the wire).
struct PhoneSetReply {
    int32_t nResult;   // result of the query, with the meaning of Devpoke's result
    uint8_t byData[3]; // the device's three answer bytes, in device order
    uint8_t bySpare;
};
#pragma pack(pop)
static_assert(sizeof(PhoneSetReply) == 8, "PhoneSetReply is 8 bytes on the wire");
