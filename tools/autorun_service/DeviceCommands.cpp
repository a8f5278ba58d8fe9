#include "DeviceCommands.h"

#include "devpoke/DevpokeRequest.h"
#include "devpoke/VendorCommands.h"
#include "framework/Handle.h"

#include <windows.h>

namespace autorun_service {

namespace {

using DevpokeFunction = int(__cdecl*)(int, int, int, unsigned char*, int);

constexpr DWORD kPathChars = MAX_PATH * 2;

// The Devpoke.dll in the folder of this executable, never one found elsewhere. False when the
// path does not fit.
bool DevpokePath(wchar_t (&path)[kPathChars])
{
    DWORD length = ::GetModuleFileNameW(nullptr, path, kPathChars);
    if (length == 0 || length >= kPathChars)
        return false;
    DWORD folderEnd = length;
    while (folderEnd > 0 && path[folderEnd - 1] != L'\\')
        --folderEnd;
    const wchar_t name[] = L"Devpoke.dll";
    const DWORD nameChars = sizeof(name) / sizeof(name[0]); // with the terminator
    if (folderEnd + nameChars > kPathChars)
        return false;
    for (DWORD i = 0; i < nameChars; ++i)
        path[folderEnd + i] = name[i];
    return true;
}

class Device {
public:
    Device()
    {
        wchar_t path[kPathChars];
        if (DevpokePath(path))
            m_library.Attach(::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
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
    const devpoke::ModeChangeResults results = devpoke::SendModeChange(send, letter,
                                                                       devpoke::SecondFormAnswer::OneByte);
    Reply reply;
    reply.size = plug::EncodeModeChangeReply(results.Last(), reply.bytes);
    return reply;
}

// The service runs with system rights for any local user: it opens the device's CD-ROM drive
// and nothing else (not the system disk, a USB disk or any other volume).
bool IsCdromDrive(int letter)
{
    const wchar_t root[4] = {static_cast<wchar_t>(letter), L':', L'\\', 0};
    return ::GetDriveTypeW(root) == DRIVE_CDROM;
}

// The reply for a drive the service does not open: "drive not found", as Devpoke gives it.
Reply DriveNotFound(const plug::ServiceRequest& request)
{
    Reply reply;
    if (request.control == USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO) {
        const uint8_t noData[3] = {0, 0, 0};
        reply.size = plug::EncodePhoneSetReply(devpoke::kResultNotALetter, noData, reply.bytes);
    } else {
        reply.size = plug::EncodeModeChangeReply(devpoke::kResultNotALetter, reply.bytes);
    }
    return reply;
}

} // namespace

Reply RunRequest(const plug::ServiceRequest& request)
{
    if (!IsCdromDrive(request.driveLetter))
        return DriveNotFound(request);
    Device device; // loaded for each request, so that a replaced library is taken up at once
    if (request.control == USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO)
        return PhoneSetting(device, request.driveLetter);
    return ModeChange(device, request.driveLetter);
}

} // namespace autorun_service
