#include "workflow/StagingPlan.h"

#include "run/ResDefineCommand.h"

#include <gtest/gtest.h>

#include <map>

using namespace plug;

namespace {

const wchar_t kTemplates[] = L"C:\\users\\u\\Templates";

StagingList Listing(std::vector<std::wstring> names, int kitType = ITKTYPE_NorvoITK, std::wstring setup = L"")
{
    StagingList list;
    list.sourceDirectory = L"E:\\";
    list.listedFiles = std::move(names);
    list.languageFile = L"tools\\lang_AutoRun_eng.opt";
    list.kitType = kitType;
    list.kitSetupName = std::move(setup);
    return list;
}

StagingPlan Plan(const StagingList& list)
{
    return MakeStagingPlan(MakeStagingFolders(list.sourceDirectory, kTemplates), list);
}

} // namespace

TEST(StagingPlan, FolderIsNamedByTheDriveLetterOfTheCd)
{
    StagingFolders folders = MakeStagingFolders(L"E:\\", kTemplates);
    EXPECT_EQ(L'E', folders.driveLetter);
    EXPECT_EQ(L"C:\\users\\u\\Templates\\E\\", folders.destinationDirectory);
    EXPECT_EQ(L"C:\\users\\u\\Templates\\E\\tools\\", folders.toolsDirectory);
    EXPECT_EQ(L"R", std::wstring(1, MakeStagingFolders(L"R:\\device\\", L"D:\\data").driveLetter));
    EXPECT_TRUE(MakeStagingFolders(L"", kTemplates).destinationDirectory.empty());
}

TEST(StagingPlan, ListedFilesInOrderThenTheLanguageFileAndTheCopyIsStarted)
{
    StagingPlan plan = Plan(Listing({L"Plugstart.exe", L"config.ini", L"tools\\Tool.exe"}));
    ASSERT_EQ(4u, plan.files.size());
    EXPECT_EQ(L"E:\\Plugstart.exe", plan.files[0].source);
    EXPECT_EQ(L"C:\\users\\u\\Templates\\E\\Plugstart.exe", plan.files[0].target);
    EXPECT_EQ(L"C:\\users\\u\\Templates\\E\\config.ini", plan.files[1].target);
    EXPECT_EQ(L"C:\\users\\u\\Templates\\E\\tools\\Tool.exe", plan.files[2].target);
    EXPECT_EQ(L"E:\\tools\\lang_AutoRun_eng.opt", plan.files[3].source);
    EXPECT_EQ(L"C:\\users\\u\\Templates\\E\\tools\\lang_AutoRun_eng.opt", plan.files[3].target);
    for (const StagingFile& file : plan.files)
        EXPECT_EQ(StagingStep::Copy, file.step);
    EXPECT_EQ(L"C:\\users\\u\\Templates\\E\\Plugstart.exe", plan.relaunchProgram);
    EXPECT_EQ(L"-l E", plan.relaunchParameters);
}

TEST(StagingPlan, WithoutListedFilesOnlyTheLanguageFileAndNothingToStart)
{
    StagingPlan plan = Plan(Listing({}));
    ASSERT_EQ(1u, plan.files.size());
    EXPECT_EQ(L"C:\\users\\u\\Templates\\E\\tools\\lang_AutoRun_eng.opt", plan.files[0].target);
    EXPECT_TRUE(plan.relaunchProgram.empty());
    EXPECT_TRUE(plan.relaunchParameters.empty());
}

// Windows file names ignore case: the program is found however the list spells it.
TEST(StagingPlan, TheProgramToStartIsTheLastListedNameHoldingItWhateverItsCase)
{
    EXPECT_EQ(L"C:\\users\\u\\Templates\\E\\plugstart.exe", Plan(Listing({L"plugstart.exe"})).relaunchProgram);
    EXPECT_EQ(L"-l E", Plan(Listing({L"PLUGSTART.EXE"})).relaunchParameters);
    EXPECT_EQ(L"C:\\users\\u\\Templates\\E\\tools\\Plugstart.exe",
              Plan(Listing({L"Plugstart.exe", L"tools\\Plugstart.exe", L"config.ini"})).relaunchProgram);
    EXPECT_TRUE(Plan(Listing({L"Plugstart.ex", L"config.ini"})).relaunchProgram.empty());
    // Only the listed name counts, not the folder the staging goes to.
    StagingList list = Listing({L"config.ini"});
    EXPECT_TRUE(MakeStagingPlan(MakeStagingFolders(L"E:\\", L"C:\\Plugstart.exe files"), list).relaunchProgram.empty());
}

TEST(StagingPlan, PcSuiteInstallerIsSkippedWithoutRegardToCase)
{
    StagingPlan plan = Plan(Listing({L"Plugstart.exe", L"PCSuite\\..\\SuiteSetup.EXE", L"SuiteSetup.exe.txt", L"x.dll"},
                                    TYPE_PCSYNC, L"suitesetup.exe"));
    EXPECT_EQ(StagingStep::Copy, plan.files[0].step);
    EXPECT_EQ(StagingStep::RefuseName, plan.files[1].step); // climbing names are refused before anything
    ASSERT_EQ(2u, plan.files.size());                       // and end the staging

    plan = Plan(Listing({L"SUITESETUP.EXE", L"SuiteSetup.exe.txt", L"x.dll"}, TYPE_PCSYNC, L"suitesetup.exe"));
    EXPECT_EQ(StagingStep::SkipSuiteSetup, plan.files[0].step);
    EXPECT_EQ(StagingStep::SkipSuiteSetup, plan.files[1].step); // the source path holds the name
    EXPECT_EQ(StagingStep::Copy, plan.files[2].step);

    // Other kit types copy their installer; the PC suite without an installer name skips nothing.
    EXPECT_EQ(StagingStep::Copy, Plan(Listing({L"SuiteSetup.exe"}, ITKTYPE_NorvoITK, L"SuiteSetup.exe")).files[0].step);
    for (const StagingFile& file : Plan(Listing({L"a.exe", L"b.dll"}, TYPE_PCSYNC, L"")).files)
        EXPECT_EQ(StagingStep::Copy, file.step);
}

TEST(StagingPlan, NamesThatReachOutsideTheStagingFolderAreRefusedAndEndThePlan)
{
    for (const wchar_t* hostile :
         {L"..\\evil.exe", L"tools\\..\\..\\evil.exe", L"C:\\Windows\\evil.exe", L"\\evil.exe", L"/evil.exe",
          L"tools/../../evil.exe", L"E:evil.exe", L"config.ini:stream", L"tools\\. .\\..\\x", L"...\\x", L""}) {
        SCOPED_TRACE(hostile);
        StagingPlan plan = Plan(Listing({L"config.ini", hostile, L"Plugstart.exe"}));
        ASSERT_EQ(2u, plan.files.size());
        EXPECT_EQ(StagingStep::Copy, plan.files[0].step);
        EXPECT_EQ(StagingStep::RefuseName, plan.files[1].step);
        EXPECT_TRUE(plan.relaunchProgram.empty());
    }
    // Dots inside names are harmless.
    EXPECT_EQ(StagingStep::Copy, Plan(Listing({L"tools\\a..b.dll"})).files[0].step);
}

TEST(StagingPlan, WithoutAProgramFolderEveryFileIsRefused)
{
    StagingList list = Listing({L"config.ini"});
    StagingPlan plan = MakeStagingPlan(MakeStagingFolders(L"", kTemplates), list);
    ASSERT_EQ(1u, plan.files.size());
    EXPECT_EQ(StagingStep::RefuseName, plan.files[0].step);
}

TEST(StagingPlan, TheListIsReadUpToTheFirstEmptyNameOfTheCount)
{
    std::map<std::wstring, std::wstring> files = {{L"filecount", L"13 files"}, {L"file00", L"Plugstart.exe"}};
    for (int i = 1; i <= 12; ++i)
        files[(i < 10 ? L"file0" : L"file") + std::to_wstring(i)] = L"f" + std::to_wstring(i);
    auto config = [&files](const wchar_t* section, const std::wstring& key) {
        auto found = files.find(key);
        return std::wstring(section) == L"FILES" && found != files.end() ? found->second : std::wstring();
    };
    StagingList list = ReadStagingList(config, L"E:\\", TYPE_PCSYNC, L"Setup.exe", L"tools\\lang.opt");
    ASSERT_EQ(13u, list.listedFiles.size());
    EXPECT_EQ(L"Plugstart.exe", list.listedFiles[0]);
    EXPECT_EQ(L"f9", list.listedFiles[9]);
    EXPECT_EQ(L"f12", list.listedFiles[12]); // file12, not file012

    // The first empty name is kept, so that the staging fails there, and ends the list.
    files[L"file03"] = L"";
    list = ReadStagingList(config, L"E:\\", TYPE_PCSYNC, L"", L"tools\\lang.opt");
    ASSERT_EQ(4u, list.listedFiles.size());
    EXPECT_EQ(L"", list.listedFiles[3]);
    EXPECT_EQ(StagingStep::RefuseName, Plan(list).files.back().step);

    files[L"filecount"] = L"none";
    EXPECT_TRUE(ReadStagingList(config, L"E:\\", 0, L"", L"x").listedFiles.empty());
}
