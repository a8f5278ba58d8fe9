#include "ModemNames.h"

namespace plug {

namespace {

wchar_t AsciiUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool IsModemType(const std::wstring& deviceType)
{
    static const wchar_t kModem[] = L"MODEM";
    if (deviceType.size() != 5)
        return false;
    for (size_t index = 0; index < 5; ++index) {
        if (AsciiUpper(deviceType[index]) != kModem[index])
            return false;
    }
    return true;
}

} // namespace

std::wstring NorvoModemNameList(const std::vector<RasDevice>& devices)
{
    std::wstring list;
    for (const RasDevice& device : devices) {
        if (IsModemType(device.deviceType) && device.deviceName.find(L"NorvoE") != std::wstring::npos)
            list += device.deviceName + L";";
    }
    return list;
}

} // namespace plug
