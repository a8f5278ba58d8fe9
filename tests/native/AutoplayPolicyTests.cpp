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

// A PC on which nothing is in the way: every value absent but ShellHWDetection "Start" = 2.
AutoplayReadings Healthy()
{
    AutoplayReadings readings;
    readings.shellHwDetectionStart = Dword(2);
    return readings;
}

// The verdicts as "1234567", a digit for each TRUE one and "-" for each FALSE one.
std::string Verdicts(const AutoplayReadings& readings, const AutoplaySystem& system)
{
    AutoplayVerdicts v = JudgeAutoplaySettings(readings, system);
    bool all[] = {v.bRegVerify1, v.bRegVerify2, v.bRegVerify3, v.bRegVerify4,
                  v.bRegVerify5, v.bRegVerify6, v.bRegVerify7};
    std::string text;
    for (int i = 0; i < 7; ++i)
        text += all[i] ? static_cast<char>('1' + i) : '-';
    return text;
}

} // namespace

TEST(AutoplayVerdicts, MachineWideValues)
{
    AutoplayReadings r = Healthy();
    EXPECT_EQ("1234567", Verdicts(r, kWindows7));
    r.cdromAutoRun = Dword(0);
    EXPECT_EQ("-234567", Verdicts(r, kXp));
    r.cdromAutoRun = Dword(2);
    r.machineNoDriveType = Dword(0x91);
    r.userNoDriveType = Dword(0xFF); // hidden by the machine's value
    EXPECT_EQ("1234567", Verdicts(r, kXp));
    r.machineNoDriveType = Dword(0xB5);
    EXPECT_EQ("1-34567", Verdicts(r, kXp));
    r.shellHwDetectionStart = Dword(3); // manual start still serves
    EXPECT_EQ("1-34567", Verdicts(r, kXp));
    r.shellHwDetectionStart = Dword(4);
    EXPECT_EQ("1-3-567", Verdicts(r, kXp));
    r.shellHwDetectionStart = DwordReading(); // no such service key
    EXPECT_EQ("1-3-567", Verdicts(r, kWindows7));
    EXPECT_EQ("1-34567", Verdicts(r, AutoplaySystem{false, true})); // Windows 2000 has no such service
}

TEST(AutoplayVerdicts, UsersPolicyCountsWhenTheMachineHasNone)
{
    AutoplayReadings r = Healthy();
    r.userNoDriveType = Dword(0x20);
    EXPECT_EQ("12-4567", Verdicts(r, kXp));
    r.userNoDriveType = Dword(0x1DF);
    EXPECT_EQ("1234567", Verdicts(r, kXp));
}

TEST(AutoplayVerdicts, AutoplayHandlersCountOnlyFromVista)
{
    AutoplayReadings r = Healthy();
    r.disableAutoplay = Dword(1);
    r.defaultSelectionHandler = Text(L"MSTakeNoAction");
    r.userChosenHandler = Text(L"msautorun"); // compared exactly
    EXPECT_EQ("1234567", Verdicts(r, kXp));
    EXPECT_EQ("1234---", Verdicts(r, kWindows7));
    r.disableAutoplay = Dword(0);
    r.defaultSelectionHandler = Text(L"MSPromptEachTime");
    r.userChosenHandler = Text(L"MSAutoRun");
    EXPECT_EQ("1234567", Verdicts(r, kWindows7));
}

TEST(AutoplayPlan, NothingInTheWayAsksNothing)
{
    for (bool vista : {false, true}) {
        AutoplayPlan plan = PlanAutoplayRepair(AutoplayVerdicts(), vista);
        EXPECT_EQ(AutoplayQuestion::None, plan.question);
        EXPECT_TRUE(plan.directRepairs.empty());
        EXPECT_EQ(0u, plan.toolBits);
    }
}

TEST(AutoplayPlan, BeforeVistaEverythingIsRepairedDirectlyInOrder)
{
    AutoplayReadings r; // AutoRun 0, machine policy 0xB5, no hardware detection
    r.cdromAutoRun = Dword(0);
    r.machineNoDriveType = Dword(0xB5);
    AutoplayPlan plan = PlanAutoplayRepair(JudgeAutoplaySettings(r, kXp), false);
    EXPECT_EQ(AutoplayQuestion::Option1And4, plan.question);
    std::vector<AutoplayRepair> expected = {AutoplayRepair::CdromAutoRun, AutoplayRepair::MachineNoDriveType,
                                            AutoplayRepair::ShellHwDetectionStart};
    EXPECT_EQ(expected, plan.directRepairs);
    EXPECT_EQ(0u, plan.toolBits);
    EXPECT_EQ(L"first\n\nsecond", ComposeAutoplayQuestion(plan.question, L"first", L"second"));
}

TEST(AutoplayPlan, OnVistaTheUsersValuesAreWrittenAndTheMachineWideOnesGoToTheTool)
{
    AutoplayReadings r = Healthy();
    r.disableAutoplay = Dword(1);
    AutoplayPlan plan = PlanAutoplayRepair(JudgeAutoplaySettings(r, kWindows7), true);
    EXPECT_EQ(L"first", ComposeAutoplayQuestion(plan.question, L"first", L"second"));
    EXPECT_EQ(std::vector<AutoplayRepair>{AutoplayRepair::DisableAutoplay}, plan.directRepairs);
    EXPECT_EQ(0u, plan.toolBits);

    r = AutoplayReadings(); // AutoRun 0 and no hardware detection: verdicts 1 and 4
    r.cdromAutoRun = Dword(0);
    plan = PlanAutoplayRepair(JudgeAutoplaySettings(r, kWindows7), true);
    EXPECT_EQ(AutoplayQuestion::Option1And4, plan.question);
    EXPECT_TRUE(plan.directRepairs.empty());
    EXPECT_EQ(L"autoset-257", FormatAutosetArgument(plan.toolBits));

    AutoplayVerdicts none{false, false, false, false, false, false, false};
    plan = PlanAutoplayRepair(none, true);
    EXPECT_EQ(L"autoset-273", FormatAutosetArgument(plan.toolBits));
    std::vector<AutoplayRepair> userRepairs = {AutoplayRepair::UserNoDriveType, AutoplayRepair::DisableAutoplay,
                                               AutoplayRepair::DefaultSelection, AutoplayRepair::UserChosenHandler};
    EXPECT_EQ(userRepairs, plan.directRepairs);
}

TEST(AutoplayPlan, TheToolMakesTheMachineWideRepairsOfTheDirectPath)
{
    // For each combination of the three machine-wide verdicts, the tool's repairs for the number
    // planned on Vista are the ones written directly before Vista, in the same order.
    for (int mask = 1; mask < 8; ++mask) {
        AutoplayVerdicts verdicts;
        verdicts.bRegVerify1 = (mask & 1) == 0;
        verdicts.bRegVerify2 = (mask & 2) == 0;
        verdicts.bRegVerify4 = (mask & 4) == 0;
        EXPECT_EQ(PlanAutoplayRepair(verdicts, false).directRepairs,
                  MachineRepairsFor(PlanAutoplayRepair(verdicts, true).toolBits))
            << mask;
    }
}

TEST(AutoplayPlan, NoDriveTypeLosesTheCdromBitAndEverythingAboveBit7)
{
    EXPECT_EQ(0x95u, RepairedNoDriveTypeAutoRun(Dword(0xB5)));
    EXPECT_EQ(0xDFu, RepairedNoDriveTypeAutoRun(Dword(0x1FF)));
    EXPECT_EQ(0xDFu, RepairedNoDriveTypeAutoRun(DwordReading())); // unreadable
}
