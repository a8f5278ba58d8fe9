#include "PhoneData.h"

#include <cstring>

namespace plug {

namespace {

constexpr size_t kFlagsOffset = 0;
constexpr size_t kWaitOffset = 8;
constexpr size_t kDriverTypeOffset = 12;
constexpr size_t kKitTypeOffset = 16;
constexpr size_t kTextOffsets[4] = {20, 540, 1060, 1580};
constexpr size_t kTextBytes = kPhoneDataTextUnits * 2;
static_assert(kTextOffsets[3] + kTextBytes == kPhoneDataBytes, "PHONEDATA is 2100 bytes");

void PutUint32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetUint32(const uint8_t* at)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(at[i]) << (8 * i);
    return value;
}

void PutText(uint8_t* at, const std::wstring& text)
{
    size_t units = text.size() < kPhoneDataTextUnits ? text.size() : kPhoneDataTextUnits - 1;
    for (size_t i = 0; i < units; ++i) {
        uint16_t unit = static_cast<uint16_t>(text[i]);
        at[2 * i] = static_cast<uint8_t>(unit);
        at[2 * i + 1] = static_cast<uint8_t>(unit >> 8);
    }
}

std::wstring GetText(const uint8_t* at)
{
    std::wstring text;
    for (size_t i = 0; i < kPhoneDataTextUnits - 1; ++i) {
        uint16_t unit = static_cast<uint16_t>(at[2 * i] | (at[2 * i + 1] << 8));
        if (unit == 0)
            break;
        text.push_back(static_cast<wchar_t>(unit));
    }
    return text;
}

wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return true;
}

} // namespace

std::vector<uint8_t> EncodePhoneData(const ResDefineCommand& profile)
{
    std::vector<uint8_t> data(kPhoneDataBytes, 0);
    std::memcpy(&data[kFlagsOffset], profile.byPhoneFlag, 8);
    PutUint32(&data[kWaitOffset], profile.dwSCSIWaitTime);
    PutUint32(&data[kDriverTypeOffset], static_cast<uint32_t>(profile.nDriverType));
    PutUint32(&data[kKitTypeOffset], static_cast<uint32_t>(profile.nITKType));
    const std::wstring* texts[4] = {&profile.strDrvSetupFilename, &profile.strITKSetupFinename, &profile.strITKFilename,
                                    &profile.strDrive};
    for (int i = 0; i < 4; ++i)
        PutText(&data[kTextOffsets[i]], *texts[i]);
    return data;
}

bool DecodePhoneData(const void* data, size_t size, ResDefineCommand* profile)
{
    if (!data || size != kPhoneDataBytes)
        return false;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    std::memcpy(profile->byPhoneFlag, bytes + kFlagsOffset, 8);
    profile->dwSCSIWaitTime = GetUint32(bytes + kWaitOffset);
    profile->nDriverType = static_cast<int32_t>(GetUint32(bytes + kDriverTypeOffset));
    profile->nITKType = static_cast<int32_t>(GetUint32(bytes + kKitTypeOffset));
    std::wstring* texts[4] = {&profile->strDrvSetupFilename, &profile->strITKSetupFinename, &profile->strITKFilename,
                              &profile->strDrive};
    for (int i = 0; i < 4; ++i)
        *texts[i] = GetText(bytes + kTextOffsets[i]);
    return true;
}

bool IsSameDeviceProfile(const ResDefineCommand& mine, const ResDefineCommand& other)
{
    std::wstring myLetter = mine.strDrive.substr(0, 1);
    std::wstring otherLetter = other.strDrive.substr(0, 1);
    if (EqualsIgnoringCase(myLetter, otherLetter))
        return true;
    return std::memcmp(mine.byPhoneFlag, other.byPhoneFlag, 8) == 0 && mine.dwSCSIWaitTime == other.dwSCSIWaitTime &&
           mine.nDriverType == other.nDriverType && mine.nITKType == other.nITKType &&
           EqualsIgnoringCase(mine.strDrvSetupFilename, other.strDrvSetupFilename) &&
           EqualsIgnoringCase(mine.strITKSetupFinename, other.strITKSetupFinename) &&
           EqualsIgnoringCase(mine.strITKFilename, other.strITKFilename);
}

} // namespace plug
