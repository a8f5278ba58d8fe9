// Values that the Internet Kit reads at its start: the device's driver family and the names of
// the maker's modems that Remote Access knows.
#include "detect/Detector.h"

#include "detect/ModemNames.h"
#include "registry/RegAccess.h"

#include <ras.h>

#include <cwchar>
#include <memory>
#include <new>

namespace {

const wchar_t kHandOffKey[] = L"Norvo Electronics Inc\\3G NorvoInternetKit_AutoRun";

static_assert(sizeof(RASDEVINFOW) == 296, "RASDEVINFOW as Remote Access expects it");

// The Remote Access devices in enumeration order; false when they cannot be enumerated.
bool EnumerateRasDevices(std::vector<plug::RasDevice>& devices)
{
    DWORD bytes = 0;
    DWORD count = 0;
    ::RasEnumDevicesW(nullptr, &bytes, &count);
    DWORD capacity = count > 0 ? count : 1;
    std::unique_ptr<RASDEVINFOW[]> entries(new (std::nothrow) RASDEVINFOW[capacity]());
    if (!entries)
        return false;
    entries[0].dwSize = sizeof(RASDEVINFOW);
    bytes = capacity * sizeof(RASDEVINFOW);
    count = 0;
    if (::RasEnumDevicesW(entries.get(), &bytes, &count) != 0)
        return false;
    for (DWORD index = 0; index < count && index < capacity; ++index) {
        const RASDEVINFOW& entry = entries[index];
        devices.push_back({std::wstring(entry.szDeviceType, wcsnlen(entry.szDeviceType, RAS_MaxDeviceType + 1)),
                           std::wstring(entry.szDeviceName, wcsnlen(entry.szDeviceName, RAS_MaxDeviceName + 1))});
    }
    return true;
}

} // namespace

void CDetector::SaveDriverTypeForITK()
{
    if (m_run.m_ResDefineCommand.nITKType == ITKTYPE_VTP)
        return;
    CRegAccess registry;
    registry.SetUserString(kHandOffKey, L"Driver_type",
                           m_run.m_ResDefineCommand.nDriverType == DRIVERTYPE_EMP ? L"EMP" : L"QCT");
}

void CDetector::SaveModemNamesForITK()
{
    CRegAccess registry;
    registry.SetUserString(kHandOffKey, L"NorvoEModem_NameArray", L"");
    std::vector<plug::RasDevice> devices;
    if (!EnumerateRasDevices(devices))
        return;
    registry.SetUserString(kHandOffKey, L"NorvoEModem_NameArray", plug::NorvoModemNameList(devices));
}
