// The autoplay verdicts, the question and the repair plan.
#include "autoplay/AutoplayPolicy.h"
#include "autoplay/AutosetArgument.h"

#include <gtest/gtest.h>

using namespace plug;

namespace {

DwordReading Dword(uint32_t value) { return DwordReading{true, value}; }
TextReading Text(const wchar_t* text) { return TextReading{true, text}; }

const AutoplaySystem kXp{false, false};
const AutoplaySystem kWindows7{true, false};
const AutoplaySystem kWindows2000{false, true};

// A PC on which everything allows auto-run (ShellHWDetection present and automatic).
AutoplayReadings HealthyReadings()
{
    AutoplayReadings readings;
    readings.shellHwDetectionStart = Dword(2);
    return readings;
}

AutoplayVerdicts AllAllowing() { return AutoplayVerdicts(); }

} // namespace

TEST(AutoplayVerdicts, CdromAutoRunForbidsOnlyWhenZero)
{
    AutoplayReadings readings = HealthyReadings();
    EXPECT_TRUE(JudgeAutoplaySettings(readings, kXp).bRegVerify1); // absent
    readings.cdromAutoRun = Dword(0);
    EXPECT_FALSE(JudgeAutoplaySettings(readings, kXp).bRegVerify1);
    readings.cdromAutoRun = Dword(2);
    EXPECT_TRUE(JudgeAutoplaySettings(readings, kXp).bRegVerify1);
}

TEST(AutoplayVerdicts, MachinePolicyDecidesAndHidesTheUsersOne)
{
    AutoplayReadings readings = HealthyReadings();
    readings.machineNoDriveType = Dword(0x91);
    readings.userNoDriveType = Dword(0xFF); // would forbid, but the machine's value rules
    AutoplayVerdicts verdicts = JudgeAutoplaySettings(readings, kXp);
    EXPECT_TRUE(verdicts.bRegVerify2);
    EXPECT_TRUE(verdicts.bRegVerify3);

    readings.machineNoDriveType = Dword(0xB5);
    verdicts = JudgeAutoplaySettings(readings, kXp);
    EXPECT_FALSE(verdicts.bRegVerify2);
    EXPECT_TRUE(verdicts.bRegVerify3);
}

TEST(AutoplayVerdicts, UsersPolicyCountsWhenTheMachineHasNone)
{
    AutoplayReadings readings = HealthyReadings();
    readings.userNoDriveType = Dword(0x20);
    AutoplayVerdicts verdicts = JudgeAutoplaySettings(readings, kXp);
    EXPECT_TRUE(verdicts.bRegVerify2);
    EXPECT_FALSE(verdicts.bRegVerify3);
    readings.userNoDriveType = Dword(0x1DF);
    EXPECT_TRUE(JudgeAutoplaySettings(readings, kXp).bRegVerify3);
}

TEST(AutoplayVerdicts, HardwareDetectionMustBePresentAndNotDisabledExceptOnWindows2000)
{
    AutoplayReadings readings = HealthyReadings();
    readings.shellHwDetectionStart = Dword(3); // manual start still serves
    EXPECT_TRUE(JudgeAutoplaySettings(readings, kXp).bRegVerify4);
    readings.shellHwDetectionStart = Dword(4);
    EXPECT_FALSE(JudgeAutoplaySettings(readings, kXp).bRegVerify4);
    readings.shellHwDetectionStart = DwordReading(); // no such service key
    EXPECT_FALSE(JudgeAutoplaySettings(readings, kXp).bRegVerify4);
    EXPECT_FALSE(JudgeAutoplaySettings(readings, kWindows7).bRegVerify4);
    EXPECT_TRUE(JudgeAutoplaySettings(readings, kWindows2000).bRegVerify4);
}

TEST(AutoplayVerdicts, AutoplayHandlersCountOnlyFromVista)
{
    AutoplayReadings readings = HealthyReadings();
    readings.disableAutoplay = Dword(1);
    readings.defaultSelectionHandler = Text(L"MSTakeNoAction");
    readings.userChosenHandler = Text(L"msautorun");
    EXPECT_TRUE(JudgeAutoplaySettings(readings, kXp).AllAllow());

    AutoplayVerdicts verdicts = JudgeAutoplaySettings(readings, kWindows7);
    EXPECT_FALSE(verdicts.bRegVerify5);
    EXPECT_FALSE(verdicts.bRegVerify6);
    EXPECT_FALSE(verdicts.bRegVerify7); // compared exactly: lower case is another handler
    EXPECT_TRUE(verdicts.bRegVerify1 && verdicts.bRegVerify2 && verdicts.bRegVerify3 && verdicts.bRegVerify4);
}

TEST(AutoplayVerdicts, HandlersThatRunOrOfferTheEntryAllow)
{
    AutoplayReadings readings = HealthyReadings();
    readings.disableAutoplay = Dword(0);
    readings.defaultSelectionHandler = Text(L"MSPromptEachTime");
    readings.userChosenHandler = Text(L"MSAutoRun");
    EXPECT_TRUE(JudgeAutoplaySettings(readings, kWindows7).AllAllow());
    readings.defaultSelectionHandler = Text(L"");
    EXPECT_FALSE(JudgeAutoplaySettings(readings, kWindows7).bRegVerify6);
    EXPECT_TRUE(JudgeAutoplaySettings(HealthyReadings(), kWindows7).AllAllow()); // all absent
}

TEST(AutoplayPlan, NothingInTheWayAsksNothing)
{
    for (bool vista : {false, true}) {
        AutoplayPlan plan = PlanAutoplayRepair(AllAllowing(), vista);
        EXPECT_EQ(AutoplayQuestion::None, plan.question);
        EXPECT_TRUE(plan.directRepairs.empty());
        EXPECT_EQ(0u, plan.toolBits);
    }
}

TEST(AutoplayPlan, PoliciesOrHardwareDetectionAddTheSecondText)
{
    AutoplayVerdicts verdicts = AllAllowing();
    verdicts.bRegVerify1 = false;
    verdicts.bRegVerify6 = false;
    EXPECT_EQ(AutoplayQuestion::Option1, PlanAutoplayRepair(verdicts, true).question);
    for (bool AutoplayVerdicts::*policy :
         {&AutoplayVerdicts::bRegVerify2, &AutoplayVerdicts::bRegVerify3, &AutoplayVerdicts::bRegVerify4}) {
        AutoplayVerdicts withPolicy = verdicts;
        withPolicy.*policy = false;
        EXPECT_EQ(AutoplayQuestion::Option1And4, PlanAutoplayRepair(withPolicy, true).question);
        EXPECT_EQ(AutoplayQuestion::Option1And4, PlanAutoplayRepair(withPolicy, false).question);
    }
    EXPECT_EQ(L"first", ComposeAutoplayQuestion(AutoplayQuestion::Option1, L"first", L"second"));
    EXPECT_EQ(L"first\n\nsecond", ComposeAutoplayQuestion(AutoplayQuestion::Option1And4, L"first", L"second"));
}

TEST(AutoplayPlan, BeforeVistaEverythingIsRepairedDirectlyInOrder)
{
    AutoplayReadings readings; // AutoRun 0, machine policy 0xB5, no hardware detection
    readings.cdromAutoRun = Dword(0);
    readings.machineNoDriveType = Dword(0xB5);
    readings.disableAutoplay = Dword(1); // not looked at before Vista
    AutoplayPlan plan = PlanAutoplayRepair(JudgeAutoplaySettings(readings, kXp), false);
    EXPECT_EQ(AutoplayQuestion::Option1And4, plan.question);
    std::vector<AutoplayRepair> expected = {AutoplayRepair::CdromAutoRun, AutoplayRepair::MachineNoDriveType,
                                            AutoplayRepair::ShellHwDetectionStart};
    EXPECT_EQ(expected, plan.directRepairs);
    EXPECT_EQ(0u, plan.toolBits);

    AutoplayVerdicts userOnly = AllAllowing();
    userOnly.bRegVerify3 = false;
    EXPECT_EQ(std::vector<AutoplayRepair>{AutoplayRepair::UserNoDriveType},
              PlanAutoplayRepair(userOnly, false).directRepairs);
}

TEST(AutoplayPlan, OnVistaOnlyDisableAutoplayNeedsNoTool)
{
    AutoplayReadings readings = HealthyReadings();
    readings.disableAutoplay = Dword(1);
    AutoplayPlan plan = PlanAutoplayRepair(JudgeAutoplaySettings(readings, kWindows7), true);
    EXPECT_EQ(AutoplayQuestion::Option1, plan.question);
    EXPECT_EQ(std::vector<AutoplayRepair>{AutoplayRepair::DisableAutoplay}, plan.directRepairs);
    EXPECT_EQ(0u, plan.toolBits);
}

TEST(AutoplayPlan, OnVistaMachineWideSettingsGoToTheTool)
{
    AutoplayReadings readings; // AutoRun 0 and no hardware detection: verdicts 1 and 4
    readings.cdromAutoRun = Dword(0);
    AutoplayPlan plan = PlanAutoplayRepair(JudgeAutoplaySettings(readings, kWindows7), true);
    EXPECT_TRUE(plan.directRepairs.empty());
    EXPECT_EQ(L"autoset-257", FormatAutosetArgument(plan.toolBits));

    AutoplayVerdicts none;
    none.bRegVerify1 = none.bRegVerify2 = none.bRegVerify3 = none.bRegVerify4 = false;
    none.bRegVerify5 = none.bRegVerify6 = none.bRegVerify7 = false;
    plan = PlanAutoplayRepair(none, true);
    EXPECT_EQ(L"autoset-273", FormatAutosetArgument(plan.toolBits));
    std::vector<AutoplayRepair> userRepairs = {AutoplayRepair::UserNoDriveType, AutoplayRepair::DisableAutoplay,
                                               AutoplayRepair::DefaultSelection, AutoplayRepair::UserChosenHandler};
    EXPECT_EQ(userRepairs, plan.directRepairs);
}

TEST(AutoplayPlan, TheToolMakesTheMachineWideRepairsOfTheDirectPath)
{
    // For every combination of the three machine-wide verdicts, the tool's repairs for the
    // number planned on Vista are the ones written directly before Vista, in the same order.
    for (int mask = 1; mask < 8; ++mask) {
        AutoplayVerdicts verdicts = AllAllowing();
        verdicts.bRegVerify1 = (mask & 1) == 0;
        verdicts.bRegVerify2 = (mask & 2) == 0;
        verdicts.bRegVerify4 = (mask & 4) == 0;
        EXPECT_EQ(PlanAutoplayRepair(verdicts, false).directRepairs,
                  MachineRepairsFor(PlanAutoplayRepair(verdicts, true).toolBits))
            << mask;
    }
}

TEST(AutoplayRepairValues, NoDriveTypeLosesTheCdromBitAndEverythingAboveBit7)
{
    EXPECT_EQ(0x95u, RepairedNoDriveTypeAutoRun(Dword(0xB5)));
    EXPECT_EQ(0xDFu, RepairedNoDriveTypeAutoRun(Dword(0x1FF)));
    EXPECT_EQ(0xDFu, RepairedNoDriveTypeAutoRun(DwordReading())); // unreadable
    EXPECT_EQ(0x00u, RepairedNoDriveTypeAutoRun(Dword(0x20)));
}
