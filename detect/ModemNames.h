// The list of the maker's modems that the Internet Kit reads. Portable: no Windows headers.
#pragma once

#include <string>
#include <vector>

namespace plug {

// One Remote Access device as the system enumerates it.
struct RasDevice {
    std::wstring deviceType;
    std::wstring deviceName;
};

// The names of the devices of type "MODEM" (ignoring case) whose name contains "NorvoE"
// (case-sensitive), each followed by ";", in the given order; empty when there is none.
std::wstring NorvoModemNameList(const std::vector<RasDevice>& devices);

} // namespace plug
