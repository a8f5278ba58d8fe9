// Every vendor command of the program goes to the device through CallDevpoke, which calls the
// Devpoke export imported from "Devpoke.dll" unless a test has installed another function.
#pragma once

namespace plug {

using DevpokeFunction = int(__cdecl*)(int driveLetter, int firstByte, int secondByte, unsigned char* answer,
                                      int dataLength);

int CallDevpoke(int driveLetter, int firstByte, int secondByte, unsigned char* answer, int dataLength);

// Installs function in place of the import; nullptr restores the import. Returns the previous one.
DevpokeFunction SetDevpokeFunction(DevpokeFunction function);

} // namespace plug
