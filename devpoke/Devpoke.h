// Devpoke.dll: sends one vendor SCSI command (F1 and two command bytes) to the device behind a
// drive letter and returns the device's answer. Plugstart imports it by name at load time.
#pragma once

#ifdef DEVPOKE_BUILD
#define DEVPOKE_API
#else
#define DEVPOKE_API __declspec(dllimport)
#endif

// driveLetter, firstByte, secondByte: only the low 8 bits count. answer receives up to
// dataLength (0 to 1024) bytes. Result: -1 not a drive letter, -2 the drive does not open,
// -20 opening it was refused (access denied), -3 the request failed or the data length is out of
// range, else the number of answer bytes copied.
extern "C" DEVPOKE_API int __cdecl Devpoke(int driveLetter, int firstByte, int secondByte, unsigned char* answer,
                                           int dataLength);
