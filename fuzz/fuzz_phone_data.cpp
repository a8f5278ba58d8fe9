// The profile another instance sends with WM_COPYDATA and the device's phone-setting answer are
// outside data: any bytes must decode without reading past them, and what is sent must come
// back as it was sent, texts cut so that their zero fits.
#include "core/PhoneData.h"
#include "core/PhoneReply.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Takes bytes from the front of the input; zeros once it is used up.
class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    uint32_t Word()
    {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<uint32_t>(Byte()) << (8 * i);
        return value;
    }
    // A text of up to 600 UTF-16 units (zeros included), as the sender might hold it.
    std::wstring Text()
    {
        size_t length = (Byte() | (Byte() << 8)) % 601;
        std::wstring text;
        for (size_t i = 0; i < length; ++i)
            text.push_back(static_cast<wchar_t>(Byte() | (Byte() << 8)));
        return text;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

// Every field of the two profiles is the same.
bool SameProfile(const ResDefineCommand& a, const ResDefineCommand& b)
{
    return std::memcmp(a.byPhoneFlag, b.byPhoneFlag, 8) == 0 && a.dwSCSIWaitTime == b.dwSCSIWaitTime &&
           a.nDriverType == b.nDriverType && a.nITKType == b.nITKType &&
           a.strDrvSetupFilename == b.strDrvSetupFilename && a.strITKSetupFinename == b.strITKSetupFinename &&
           a.strITKFilename == b.strITKFilename && a.strDrive == b.strDrive;
}

// What a text reads as on the other side: up to its first zero, at most 259 units.
std::wstring AsReceived(const std::wstring& text)
{
    std::wstring received = text.substr(0, text.find(L'\0'));
    return received.substr(0, plug::kPhoneDataTextUnits - 1);
}

void CheckDecodeOfRawBytes(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size); // exact size: the sanitizer sees any read past it
    ResDefineCommand profile;
    profile.strDrive = L"untouched";
    bool decoded = plug::DecodePhoneData(bytes.data(), bytes.size(), &profile);
    if (decoded != (size == plug::kPhoneDataBytes))
        __builtin_trap();
    if (!decoded) {
        if (profile.strDrive != L"untouched")
            __builtin_trap();
        return;
    }
    // Sent on again, the decoded profile comes back unchanged.
    std::vector<uint8_t> again = plug::EncodePhoneData(profile);
    ResDefineCommand twice;
    if (!plug::DecodePhoneData(again.data(), again.size(), &twice) || !SameProfile(twice, profile))
        __builtin_trap();
}

void CheckRoundTripOfAProfile(Input& input)
{
    ResDefineCommand sent;
    for (uint8_t& flag : sent.byPhoneFlag)
        flag = input.Byte();
    sent.dwSCSIWaitTime = input.Word();
    sent.nDriverType = static_cast<int32_t>(input.Word());
    sent.nITKType = static_cast<int32_t>(input.Word());
    sent.strDrvSetupFilename = input.Text();
    sent.strITKSetupFinename = input.Text();
    sent.strITKFilename = input.Text();
    sent.strDrive = input.Text();

    std::vector<uint8_t> data = plug::EncodePhoneData(sent);
    ResDefineCommand received;
    if (data.size() != plug::kPhoneDataBytes || !plug::DecodePhoneData(data.data(), data.size(), &received))
        __builtin_trap();
    ResDefineCommand expected = sent;
    for (std::wstring* text :
         {&expected.strDrvSetupFilename, &expected.strITKSetupFinename, &expected.strITKFilename, &expected.strDrive})
        *text = AsReceived(*text);
    if (!SameProfile(received, expected))
        __builtin_trap();
}

void CheckPhoneSettingAnswer(Input& input)
{
    int result = static_cast<int32_t>(input.Word());
    const uint8_t answer[3] = {input.Byte(), input.Byte(), input.Byte()};
    ResDefineCommand profile;
    profile.nDriverType = input.Byte() % 3;
    profile.nITKType = input.Byte() % 4;
    const ResDefineCommand before = profile;
    plug::ApplyPhoneSettingReply(result, answer, profile);
    for (int bit = 0; bit < 8; ++bit) {
        if (profile.byPhoneFlag[bit] != ((answer[0] >> bit) & 1))
            __builtin_trap();
    }
    bool full = result == 3;
    if (profile.dwSCSIWaitTime != (full ? answer[1] * 256u + answer[2] : before.dwSCSIWaitTime))
        __builtin_trap();
    bool typesMayChange = full && (answer[0] & 0x40);
    if (!typesMayChange && (profile.nDriverType != before.nDriverType || profile.nITKType != before.nITKType))
        __builtin_trap();
    if (typesMayChange && profile.nDriverType == DRIVERTYPE_FOMA_K21C)
        __builtin_trap();
    if (profile.nITKType != before.nITKType && profile.nITKType != TYPE_PCSYNC)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CheckDecodeOfRawBytes(data, size);
    Input input(data, size);
    CheckPhoneSettingAnswer(input);
    CheckRoundTripOfAProfile(input);
    return 0;
}
