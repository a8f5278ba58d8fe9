#include "AutoplayPolicy.h"

namespace plug {

const wchar_t REPAIRED_HANDLER[] = L"MSAutoRun";

namespace {

// Bit 0x20 of "NoDriveTypeAutoRun" stands for drive type 5, the CD-ROM drive.
constexpr uint32_t kCdromDriveTypeBit = 0x20;
constexpr uint32_t kServiceDisabled = 4;

bool AllowsCdrom(const DwordReading& noDriveType)
{
    return !noDriveType.present || (noDriveType.value & kCdromDriveTypeBit) == 0;
}

// The handlers that run or offer the auto-run entry; compared exactly.
bool IsAutoRunHandler(const TextReading& handler)
{
    return !handler.present || handler.text == REPAIRED_HANDLER || handler.text == L"MSPromptEachTime";
}

} // namespace

bool AutoplayVerdicts::AllAllow() const
{
    return bRegVerify1 && bRegVerify2 && bRegVerify3 && bRegVerify4 && bRegVerify5 && bRegVerify6 && bRegVerify7;
}

AutoplayVerdicts JudgeAutoplaySettings(const AutoplayReadings& readings, const AutoplaySystem& system)
{
    AutoplayVerdicts verdicts;
    verdicts.bRegVerify1 = !readings.cdromAutoRun.present || readings.cdromAutoRun.value != 0;
    verdicts.bRegVerify2 = AllowsCdrom(readings.machineNoDriveType);
    // The machine-wide value, when there is one, overrides the user's.
    verdicts.bRegVerify3 = readings.machineNoDriveType.present || AllowsCdrom(readings.userNoDriveType);
    verdicts.bRegVerify4 = system.windows2000 || (readings.shellHwDetectionStart.present &&
                                                  readings.shellHwDetectionStart.value != kServiceDisabled);
    if (system.vista) {
        verdicts.bRegVerify5 = !readings.disableAutoplay.present || readings.disableAutoplay.value == 0;
        verdicts.bRegVerify6 = IsAutoRunHandler(readings.defaultSelectionHandler);
        verdicts.bRegVerify7 = IsAutoRunHandler(readings.userChosenHandler);
    }
    return verdicts;
}

AutoplayPlan PlanAutoplayRepair(const AutoplayVerdicts& verdicts, bool vista)
{
    AutoplayPlan plan;
    if (verdicts.AllAllow())
        return plan;
    bool policyInTheWay = !verdicts.bRegVerify2 || !verdicts.bRegVerify3 || !verdicts.bRegVerify4;
    plan.question = policyInTheWay ? AutoplayQuestion::Option1And4 : AutoplayQuestion::Option1;

    auto repairIfFalse = [&plan](bool verdict, AutoplayRepair repair) {
        if (!verdict)
            plan.directRepairs.push_back(repair);
    };
    if (!vista) {
        repairIfFalse(verdicts.bRegVerify1, AutoplayRepair::CdromAutoRun);
        repairIfFalse(verdicts.bRegVerify2, AutoplayRepair::MachineNoDriveType);
        repairIfFalse(verdicts.bRegVerify3, AutoplayRepair::UserNoDriveType);
        repairIfFalse(verdicts.bRegVerify4, AutoplayRepair::ShellHwDetectionStart);
        return plan;
    }
    repairIfFalse(verdicts.bRegVerify3, AutoplayRepair::UserNoDriveType);
    repairIfFalse(verdicts.bRegVerify5, AutoplayRepair::DisableAutoplay);
    repairIfFalse(verdicts.bRegVerify6, AutoplayRepair::DefaultSelection);
    repairIfFalse(verdicts.bRegVerify7, AutoplayRepair::UserChosenHandler);
    plan.toolBits = (verdicts.bRegVerify1 ? 0u : AUTOSET_CDROM_AUTORUN) |
                    (verdicts.bRegVerify2 ? 0u : AUTOSET_MACHINE_NODRIVETYPE) |
                    (verdicts.bRegVerify4 ? 0u : AUTOSET_SHELLHW_START);
    return plan;
}

std::wstring ComposeAutoplayQuestion(AutoplayQuestion question, const std::wstring& option1,
                                     const std::wstring& option4)
{
    switch (question) {
    case AutoplayQuestion::Option1:
        return option1;
    case AutoplayQuestion::Option1And4:
        return option1 + L"\n\n" + option4;
    default:
        return std::wstring();
    }
}

std::vector<AutoplayRepair> MachineRepairsFor(unsigned toolBits)
{
    std::vector<AutoplayRepair> repairs;
    for (const AutosetBitRepair& entry : AUTOSET_BIT_REPAIRS) {
        if (toolBits & entry.bit)
            repairs.push_back(entry.repair);
    }
    return repairs;
}

} // namespace plug
