#include "AutoplaySettings.h"

#include "AutoplayValuePaths.h"

namespace plug {

namespace {

// A read starts from -1, so a failed read leaves all bits set.
DwordReading Reading(BOOL read, DWORD value) { return DwordReading{read != FALSE, static_cast<uint32_t>(value)}; }

DwordReading ReadMachineDword(CRegAccess& registry, const wchar_t* valuePath)
{
    DWORD value = 0xFFFFFFFF;
    BOOL read = registry.GetDWORD(REGROOT_LOCAL_MACHINE, valuePath, value);
    return Reading(read, value);
}

DwordReading ReadUserDword(CRegAccess& registry, const wchar_t* key, const wchar_t* name)
{
    DWORD value = 0xFFFFFFFF;
    BOOL read = registry.GetUserDWORD(key, name, value);
    return Reading(read, value);
}

TextReading ReadUserDefaultText(CRegAccess& registry, const wchar_t* key)
{
    TextReading reading;
    reading.present = registry.GetUserString(key, L"", reading.text) != FALSE;
    return reading;
}

} // namespace

AutoplayReadings ReadAutoplaySettings(CRegAccess& registry, bool vista)
{
    AutoplayReadings readings;
    readings.cdromAutoRun = ReadMachineDword(registry, kCdromAutoRun);
    readings.machineNoDriveType = ReadMachineDword(registry, kMachineNoDriveType);
    if (!readings.machineNoDriveType.present)
        readings.userNoDriveType = ReadUserDword(registry, kUserPolicies, kNoDriveTypeAutoRun);
    readings.shellHwDetectionStart = ReadMachineDword(registry, kShellHwDetectionStart);
    if (vista) {
        readings.disableAutoplay = ReadUserDword(registry, kAutoplayHandlers, kDisableAutoplay);
        readings.defaultSelectionHandler = ReadUserDefaultText(registry, kDefaultSelection);
        readings.userChosenHandler = ReadUserDefaultText(registry, kUserChosen);
    }
    return readings;
}

BOOL ApplyAutoplayRepair(CRegAccess& registry, AutoplayRepair repair)
{
    switch (repair) {
    case AutoplayRepair::CdromAutoRun:
        return registry.SetDWORD(REGROOT_LOCAL_MACHINE, kCdromAutoRun, REPAIRED_CDROM_AUTORUN);
    case AutoplayRepair::MachineNoDriveType:
        return registry.SetDWORD(REGROOT_LOCAL_MACHINE, kMachineNoDriveType,
                                 RepairedNoDriveTypeAutoRun(ReadMachineDword(registry, kMachineNoDriveType)));
    case AutoplayRepair::UserNoDriveType:
        return registry.SetUserDWORD(
            kUserPolicies, kNoDriveTypeAutoRun,
            RepairedNoDriveTypeAutoRun(ReadUserDword(registry, kUserPolicies, kNoDriveTypeAutoRun)));
    case AutoplayRepair::ShellHwDetectionStart:
        return registry.SetDWORD(REGROOT_LOCAL_MACHINE, kShellHwDetectionStart, REPAIRED_SHELLHW_START);
    case AutoplayRepair::DisableAutoplay:
        return registry.SetUserDWORD(kAutoplayHandlers, kDisableAutoplay, REPAIRED_DISABLE_AUTOPLAY);
    case AutoplayRepair::DefaultSelection:
        return registry.SetUserString(kDefaultSelection, L"", REPAIRED_HANDLER);
    case AutoplayRepair::UserChosenHandler:
        return registry.SetUserString(kUserChosen, L"", REPAIRED_HANDLER);
    }
    return FALSE;
}

} // namespace plug
