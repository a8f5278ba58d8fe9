#include "AutosetTool.h"

#include "MachineValues.h"
#include "autoplay/AutoplayPolicy.h"
#include "autoplay/AutoplayValuePaths.h"
#include "autoplay/AutosetCommandLine.h"

namespace plug {

namespace {

// One machine-wide repair, as the program makes it itself before Vista: a "NoDriveTypeAutoRun"
// is read again and written back with the CD-ROM bit cleared (all bits set when unreadable).
BOOL WriteRepair(AutoplayRepair repair)
{
    switch (repair) {
    case AutoplayRepair::CdromAutoRun:
        return WriteMachineDword(kCdromAutoRun, REPAIRED_CDROM_AUTORUN);
    case AutoplayRepair::MachineNoDriveType: {
        DWORD value = 0xFFFFFFFF;
        DwordReading current;
        current.present = ReadMachineDword(kMachineNoDriveType, &value) != FALSE;
        current.value = value;
        return WriteMachineDword(kMachineNoDriveType, RepairedNoDriveTypeAutoRun(current));
    }
    case AutoplayRepair::ShellHwDetectionStart:
        return WriteMachineDword(kShellHwDetectionStart, REPAIRED_SHELLHW_START);
    default:
        return FALSE; // the user's settings are the program's own to repair
    }
}

} // namespace

AutosetToolResult RunAutosetTool(const wchar_t* arguments)
{
    unsigned toolBits = ParseAutosetCommandLine(arguments);
    if (toolBits == 0)
        return AUTOSET_BAD_ARGUMENT;
    // Each repair stands on its own: one that fails does not keep the others from being made.
    bool allWritten = true;
    for (const AutosetBitRepair& entry : AUTOSET_BIT_REPAIRS) {
        if (toolBits & entry.bit)
            allWritten = WriteRepair(entry.repair) && allWritten;
    }
    return allWritten ? AUTOSET_DONE : AUTOSET_WRITE_FAILED;
}

} // namespace plug
