// Whether the Windows settings let CD-ROM media start their auto-run entry, what to ask the
// user, and what to repair. Portable: no Windows headers; the registry is read and written by
// AutoplaySettings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plug {

// One registry value as read: absent also stands for a value that could not be read.
struct DwordReading {
    bool present = false;
    uint32_t value = 0;
};
struct TextReading {
    bool present = false;
    std::wstring text;
};

// The values that decide. The user's "NoDriveTypeAutoRun" is only read when the machine-wide
// one is absent; the last three are only read on Vista and later.
struct AutoplayReadings {
    DwordReading cdromAutoRun;           // HKLM Cdrom service "AutoRun"
    DwordReading machineNoDriveType;     // HKLM Explorer policies "NoDriveTypeAutoRun"
    DwordReading userNoDriveType;        // HKCU Explorer policies "NoDriveTypeAutoRun"
    DwordReading shellHwDetectionStart;  // HKLM ShellHWDetection service "Start"
    DwordReading disableAutoplay;        // HKCU AutoplayHandlers "DisableAutoplay"
    TextReading defaultSelectionHandler; // HKCU EventHandlersDefaultSelection\AutorunINFLegacyArrival
    TextReading userChosenHandler;       // HKCU UserChosenExecuteHandlers\AutorunINFLegacyArrival
};

struct AutoplaySystem {
    bool vista = false;       // Vista class or later
    bool windows2000 = false; // version class 5: it has no ShellHWDetection service
};

// TRUE (true) when the setting allows auto-run of CD-ROM media, false when it must be repaired.
struct AutoplayVerdicts {
    bool bRegVerify1 = true; // Cdrom "AutoRun"
    bool bRegVerify2 = true; // machine "NoDriveTypeAutoRun"
    bool bRegVerify3 = true; // user "NoDriveTypeAutoRun"
    bool bRegVerify4 = true; // ShellHWDetection "Start"
    bool bRegVerify5 = true; // "DisableAutoplay"
    bool bRegVerify6 = true; // default handler choice
    bool bRegVerify7 = true; // user's chosen handler

    bool AllAllow() const;
};

AutoplayVerdicts JudgeAutoplaySettings(const AutoplayReadings& readings, const AutoplaySystem& system);

// What the user is asked: nothing, the text of "STR_STRING_CDROM_AUTO_OPTION_1" alone, or that
// text followed by a blank line and the text of "STR_STRING_CDROM_AUTO_OPTION_4" (when a
// policy or the hardware-detection service stands in the way).
enum class AutoplayQuestion { None, Option1, Option1And4 };

// One repair, written directly by the program or, for the machine-wide ones on Vista and
// later, by the repair tool.
enum class AutoplayRepair {
    CdromAutoRun,          // "AutoRun" = 1
    MachineNoDriveType,    // machine "NoDriveTypeAutoRun" = old value AND 0xDF
    UserNoDriveType,       // user "NoDriveTypeAutoRun" = old value AND 0xDF
    ShellHwDetectionStart, // "Start" = 2 (automatic)
    DisableAutoplay,       // "DisableAutoplay" = 0
    DefaultSelection,      // default handler choice = "MSAutoRun"
    UserChosenHandler,     // user's chosen handler = "MSAutoRun"
};

// The bits of the repair tool's number N in "autoset-N".
constexpr unsigned AUTOSET_CDROM_AUTORUN = 0x100;
constexpr unsigned AUTOSET_MACHINE_NODRIVETYPE = 0x10;
constexpr unsigned AUTOSET_SHELLHW_START = 0x1;
constexpr unsigned AUTOSET_ALL_BITS = AUTOSET_CDROM_AUTORUN | AUTOSET_MACHINE_NODRIVETYPE | AUTOSET_SHELLHW_START;

struct AutoplayPlan {
    AutoplayQuestion question = AutoplayQuestion::None;
    std::vector<AutoplayRepair> directRepairs; // in the order they are written
    unsigned toolBits = 0;                     // N of the repair tool; 0: the tool is not run
};

// Before Vista every FALSE verdict is repaired directly; on Vista and later the user's values
// are, and the machine-wide ones go to the repair tool.
AutoplayPlan PlanAutoplayRepair(const AutoplayVerdicts& verdicts, bool vista);

// The text of the question from the two language texts.
std::wstring ComposeAutoplayQuestion(AutoplayQuestion question, const std::wstring& option1,
                                     const std::wstring& option4);

// The machine-wide repair of each bit of N, in the order the program itself makes them.
struct AutosetBitRepair {
    unsigned bit;
    AutoplayRepair repair;
};
constexpr AutosetBitRepair AUTOSET_BIT_REPAIRS[] = {
    {AUTOSET_CDROM_AUTORUN, AutoplayRepair::CdromAutoRun},
    {AUTOSET_MACHINE_NODRIVETYPE, AutoplayRepair::MachineNoDriveType},
    {AUTOSET_SHELLHW_START, AutoplayRepair::ShellHwDetectionStart},
};

// The machine-wide repairs that the tool makes for the bits of N, in that order.
std::vector<AutoplayRepair> MachineRepairsFor(unsigned toolBits);

// The repaired "NoDriveTypeAutoRun": the CD-ROM bit and every bit above bit 7 cleared; an
// unreadable value counts as all bits set. (Inline: the repair tool links no C++ library.)
constexpr uint32_t RepairedNoDriveTypeAutoRun(const DwordReading& current)
{
    return (current.present ? current.value : 0xFFFFFFFFu) & 0xDFu;
}

constexpr uint32_t REPAIRED_CDROM_AUTORUN = 1;
constexpr uint32_t REPAIRED_SHELLHW_START = 2;
constexpr uint32_t REPAIRED_DISABLE_AUTOPLAY = 0;
extern const wchar_t REPAIRED_HANDLER[]; // "MSAutoRun"

} // namespace plug
