// Devpoke.dll: the vendor SCSI command through IOCTL_SCSI_PASS_THROUGH on the volume's device path.
// Built without the C and C++ runtimes (devpoke/CMakeLists.txt): plain Win32 from kernel32, no
// exceptions, no allocation, and DevpokeEntry as the library's entry point.
#include "Devpoke.h"

#include "DevpokeRequest.h"
#include "framework/Handle.h"

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>

// The request is the pass-through header of 32-bit Windows, which the shipped (32-bit) library
// sends; check our offsets against it. A 64-bit build, made for the tests only, sends the same
// bytes, which 64-bit Windows would refuse (its header holds a 64-bit offset): the result is -3.
#ifndef _WIN64
static_assert(sizeof(SCSI_PASS_THROUGH) == devpoke::kHeaderLength, "header size");
static_assert(offsetof(SCSI_PASS_THROUGH, DataTransferLength) == 12, "DataTransferLength");
static_assert(offsetof(SCSI_PASS_THROUGH, TimeOutValue) == 16, "TimeOutValue");
static_assert(offsetof(SCSI_PASS_THROUGH, DataBufferOffset) == 20, "DataBufferOffset");
static_assert(offsetof(SCSI_PASS_THROUGH, SenseInfoOffset) == 24, "SenseInfoOffset");
static_assert(offsetof(SCSI_PASS_THROUGH, Cdb) == devpoke::kCdbOffset, "Cdb");
#endif
static_assert(IOCTL_SCSI_PASS_THROUGH == 0x4D004, "control code");

// The library's entry point: nothing to set up or tear down.
extern "C" BOOL WINAPI DevpokeEntry(HINSTANCE, DWORD, LPVOID) { return TRUE; }

extern "C" int __cdecl Devpoke(int driveLetter, int firstByte, int secondByte, unsigned char* answer, int dataLength)
{
    using namespace devpoke;
    if (!IsDriveLetter(driveLetter))
        return kResultNotALetter;
    // The data area holds 1024 bytes: a longer (or negative) length would let Windows write past it.
    if (!IsValidDataLength(dataLength) || (dataLength > 0 && !answer))
        return kResultRequestFailed;

    plug::UniqueFile drive(::CreateFileA(DevicePath(driveLetter).text, GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!drive)
        return ::GetLastError() == ERROR_ACCESS_DENIED ? kResultAccessDenied : kResultOpenFailed;

    Request request; // each call has its own, so that calls from two threads cannot mix
    BuildRequest(BuildCdb(firstByte, secondByte), dataLength, &request);
    DWORD returned = 0;
    if (!::DeviceIoControl(drive.Get(), IOCTL_SCSI_PASS_THROUGH, request.bytes, kHeaderLength, request.bytes,
                           OutputLength(dataLength), &returned, nullptr))
        return kResultRequestFailed;
    return TakeAnswer(request, returned, dataLength, answer);
}
