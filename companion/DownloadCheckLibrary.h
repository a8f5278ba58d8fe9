// The PC-suite download-check library "NorvoPsLvDlChk.dll", outside the program: loaded by name
// for one call and freed again; and how the program opens a download address.
#pragma once

#include "DownloadCheck.h"

#include <string>

namespace plug {

struct DownloadCheckAnswer {
    bool loaded = false;    // the library and its export "CheckPSLVDL" were found
    bool succeeded = false; // its result was not 0
    std::wstring resultText;
    std::wstring candidates[kDownloadCandidateCount]; // server addresses, possibly empty
};

// Loads the library from the standard search path (without the current directory, which the
// start-up takes out of it), asks it with versionText (at most 19 bytes in the ANSI code page)
// and frees it. Its texts are read only within their buffers.
DownloadCheckAnswer CallDownloadCheck(const std::wstring& versionText);

// Opens address in the user's web browser (through the shell unless a test replaces it).
using AddressOpener = void (*)(const std::wstring& address);
void OpenDownloadAddress(const std::wstring& address);
// Installs opener in place of the shell; nullptr restores the shell. Returns the previous one.
AddressOpener SetDownloadAddressOpener(AddressOpener opener);

} // namespace plug
