// The Windows generation as the program classifies it. Portable: no Windows headers.
#pragma once

namespace plug {

// Maps a reported version to its class: 0 Windows 95/NT 4, 1 Windows 98, 2 Windows 98 SE,
// 3 Windows Me, 4 other 4.x and older, 5 Windows 2000, 6 XP, 7 Server 2003, 8 Vista and later
// (6.x), -1 for anything unknown (other 5.x, 7 and above). servicePack is the CSD text.
int VersionClassFor(unsigned long major, unsigned long minor, const char* servicePack);

// Vista class: 8 or above, compared signed so that -1 is not.
bool IsVistaClass(int versionClass);

} // namespace plug
