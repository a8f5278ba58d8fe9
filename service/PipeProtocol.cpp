#include "PipeProtocol.h"

#include <cstring>

namespace plug {

namespace {

const char kPhoneSetKeyword[] = "AUTORUNSERVICE_GETPHONESET";
const char kModeChangeKeyword[] = "AUTORUNSERVICE_MODECHANGE";
constexpr uint16_t kSeparator = u'\\';

const char* KeywordOf(uint32_t control)
{
    switch (control) {
    case USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO:
        return kPhoneSetKeyword;
    case USER_SERVICE_CONTROL_SEND_PHONE_MODE:
        return kModeChangeKeyword;
    default:
        return nullptr;
    }
}

uint16_t UnitAt(const uint8_t* bytes, size_t index)
{
    return static_cast<uint16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8));
}

void PutUnit(uint8_t* bytes, size_t index, uint16_t unit)
{
    bytes[2 * index] = static_cast<uint8_t>(unit);
    bytes[2 * index + 1] = static_cast<uint8_t>(unit >> 8);
}

bool IsLetter(uint16_t unit) { return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z'); }

bool IsWhiteSpace(uint16_t unit) { return unit == u' ' || (unit >= u'\t' && unit <= u'\r'); }

// True when the units from index 0 spell keyword followed by the separator.
bool StartsWithKeyword(const uint8_t* bytes, size_t units, const char* keyword)
{
    size_t length = std::strlen(keyword);
    if (length + 1 > units)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (UnitAt(bytes, i) != static_cast<uint8_t>(keyword[i]))
            return false;
    }
    return UnitAt(bytes, length) == kSeparator;
}

} // namespace

bool BuildServiceRequest(uint32_t control, uint16_t driveLetter, uint8_t (&message)[kServiceMessageBytes])
{
    std::memset(message, 0, sizeof(message));
    const char* keyword = KeywordOf(control);
    if (!keyword)
        return false;
    size_t length = std::strlen(keyword);
    for (size_t i = 0; i < length; ++i)
        PutUnit(message, i, static_cast<uint8_t>(keyword[i]));
    PutUnit(message, length, kSeparator);
    PutUnit(message, length + 1, driveLetter);
    return true;
}

bool ParseServiceRequest(const uint8_t* bytes, size_t count, ServiceRequest* request)
{
    if (!bytes || count != kServiceMessageBytes)
        return false;
    const size_t units = count / 2;
    const uint32_t controls[] = {USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO, USER_SERVICE_CONTROL_SEND_PHONE_MODE};
    for (uint32_t control : controls) {
        const char* keyword = KeywordOf(control);
        if (!StartsWithKeyword(bytes, units, keyword))
            continue;
        // The keywords are short: the letter and the zero after it lie well inside the 130 units.
        size_t letterIndex = std::strlen(keyword) + 1;
        uint16_t letter = UnitAt(bytes, letterIndex);
        if (!IsLetter(letter) || UnitAt(bytes, letterIndex + 1) != 0)
            return false;
        request->control = control;
        request->driveLetter = letter;
        return true;
    }
    return false;
}

size_t EncodePhoneSetReply(int32_t result, const uint8_t (&data)[3], uint8_t (&reply)[kServiceMessageBytes])
{
    std::memset(reply, 0, sizeof(reply));
    uint32_t bits = static_cast<uint32_t>(result);
    for (int i = 0; i < 4; ++i)
        reply[i] = static_cast<uint8_t>(bits >> (8 * i));
    reply[4] = data[0];
    reply[5] = data[1];
    reply[6] = data[2];
    return kPhoneSetReplyBytes;
}

bool ApplyPhoneSetReply(const uint8_t* bytes, size_t count, PhoneSetReply* reply)
{
    if (!bytes || count < sizeof(reply->nResult))
        return false;
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    reply->nResult = static_cast<int32_t>(bits);
    for (size_t i = 4; i < count && i < kPhoneSetReplyBytes; ++i) {
        if (i < 7)
            reply->byData[i - 4] = bytes[i];
        else
            reply->bySpare = bytes[i];
    }
    return true;
}

size_t EncodeModeChangeReply(int32_t result, uint8_t (&reply)[kServiceMessageBytes])
{
    std::memset(reply, 0, sizeof(reply));
    char digits[16];
    size_t count = 0;
    bool negative = result < 0;
    // The magnitude in 32 bits (that of the smallest int too): no 64-bit division, which 32-bit
    // code would take from libgcc.
    uint32_t value = negative ? 0u - static_cast<uint32_t>(result) : static_cast<uint32_t>(result);
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    size_t unit = 0;
    if (negative)
        PutUnit(reply, unit++, u'-');
    while (count > 0)
        PutUnit(reply, unit++, static_cast<uint8_t>(digits[--count]));
    return (unit + 1) * 2; // with the terminating zero unit
}

int32_t ParseModeChangeReply(const uint8_t* bytes, size_t count)
{
    if (!bytes)
        return 0;
    const size_t units = count / 2;
    size_t i = 0;
    while (i < units && IsWhiteSpace(UnitAt(bytes, i)))
        ++i;
    bool negative = false;
    if (i < units && (UnitAt(bytes, i) == u'-' || UnitAt(bytes, i) == u'+'))
        negative = UnitAt(bytes, i++) == u'-';
    int64_t value = 0;
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    for (; i < units; ++i) {
        uint16_t unit = UnitAt(bytes, i);
        if (unit < u'0' || unit > u'9')
            break;
        value = value * 10 + (unit - u'0');
        if (value > limit)
            value = limit; // clamped; further digits cannot bring it back
    }
    return static_cast<int32_t>(negative ? -value : value);
}

} // namespace plug
