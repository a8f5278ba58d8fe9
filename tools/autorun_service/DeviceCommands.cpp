#include "DeviceCommands.h"

#include "devpoke/DevpokeRequest.h"
#include "devpoke/VendorCommands.h"
#include "framework/Handle.h"

#include <windows.h>

#include <string>

namespace autorun_service {

namespace {

using DevpokeFunction = int(__cdecl*)(int, int, int, unsigned char*, int);

// The Devpoke.dll in the folder of this executable, never one found elsewhere.
std::wstring DevpokePath()
{
    wchar_t path[MAX_PATH * 2] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    if (length == 0 || length >= MAX_PATH * 2)
        return std::wstring();
    std::wstring full(path, length);
    return full.substr(0, full.rfind(L'\\') + 1) + L"Devpoke.dll";
}

class Device {
public:
    Device()
    {
        std::wstring path = DevpokePath();
        if (!path.empty())
            m_library.Attach(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
        if (m_library)
            m_devpoke = reinterpret_cast<DevpokeFunction>(
                reinterpret_cast<void*>(::GetProcAddress(m_library.Get(), "Devpoke")));
    }

    int Send(int letter, int firstByte, int secondByte, unsigned char* answer, int dataLength) const
    {
        if (!m_devpoke)
            return devpoke::kResultOpenFailed;
        return m_devpoke(letter, firstByte, secondByte, answer, dataLength);
    }

private:
    plug::UniqueModule m_library;
    DevpokeFunction m_devpoke = nullptr;
};

Reply PhoneSetting(const Device& device, int letter)
{
    uint8_t data[3] = {0, 0, 0};
    int result = device.Send(letter, devpoke::kPhoneSettingCommand, devpoke::kPhoneSettingParameter, data,
                             devpoke::kPhoneSettingLength);
    Reply reply;
    reply.size = plug::EncodePhoneSetReply(result, data, reply.bytes);
    return reply;
}

// The switch as Plugstart sends it to the device's own drive: the first form, and after a
// negative result the second form with a one-byte answer.
Reply ModeChange(const Device& device, int letter)
{
    auto send = [&device](int driveLetter, int first, int second, unsigned char* answer, int length) {
        return device.Send(driveLetter, first, second, answer, length);
    };
    Reply reply;
    reply.size = plug::EncodeModeChangeReply(devpoke::SendModeChange(send, letter, 1).Last(), reply.bytes);
    return reply;
}

} // namespace

Reply RunRequest(const plug::ServiceRequest& request)
{
    Device device; // loaded for each request, so that a replaced library is taken up at once
    if (request.control == USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO)
        return PhoneSetting(device, request.driveLetter);
    return ModeChange(device, request.driveLetter);
}

} // namespace autorun_service
