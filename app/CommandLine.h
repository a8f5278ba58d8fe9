// Tells a CD start from a PC start by the command line. Portable: no Windows headers.
#pragma once

#include <string>

namespace plug {

struct StartArguments {
    bool pcStart = false;       // the command line holds "-l"
    bool letterMissing = false; // a PC start whose command line is too short to carry a letter
    std::wstring argument;      // the whole command line at a PC start, else empty
    std::wstring driveLetter;   // one character at a PC start, else empty
};

// A PC start is any command line that contains "-l" (case-sensitive). The drive letter is the
// character at position 3, where the staging puts it ("-l E"); it is taken by position and
// not checked.
StartArguments ParseStartArguments(const std::wstring& commandLine);

} // namespace plug
