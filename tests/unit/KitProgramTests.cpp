// CheckITKProgram's lookups of the installed kit's program (the path it answers; the run's
// record is the launch's to write) and RunITK's start of it.
#include "CoreTestSupport.h"

#include "common/StandIns.h"

using namespace plugtest;

namespace {

class KitProgramTest : public CoreTest {
protected:
    std::optional<std::wstring> Check(int kitType, const std::wstring& runFile)
    {
        m_run.m_ResDefineCommand.strITKFilename = runFile;
        return m_core.Detect().CheckITKProgram(kitType);
    }
    std::wstring Put(const std::wstring& pathInProgramFiles)
    {
        std::wstring path = ProgramFilesFolder() + pathInProgramFiles;
        m_install.files.Put(path);
        return path;
    }
};

} // namespace

TEST_F(KitProgramTest, InternetKitNeedsItsRegistrationAndAnExeNameInLowerCase)
{
    std::wstring program = Put(L"NorvoInternetKit\\Kit.exe");
    EXPECT_FALSE(Check(ITKTYPE_NorvoITK, L"Kit.exe")) << "not registered";
    m_install.RegisterProduct(kNorvoKitCode, true); // registered under Wow6432Node only
    m_run.m_strITKRunPath = L"previous";
    EXPECT_FALSE(Check(ITKTYPE_NorvoITK, L"Kit.EXE")) << "the file is there, but the name has no \".exe\"";
    EXPECT_FALSE(Check(ITKTYPE_NorvoITK, L""));
    EXPECT_FALSE(Check(ITKTYPE_NorvoITK, L"Other.exe"));
    EXPECT_EQ(L"previous", m_run.m_strITKRunPath);
    EXPECT_EQ(program, Check(ITKTYPE_NorvoITK, L"Kit.exe"));
    EXPECT_EQ(L"previous", m_run.m_strITKRunPath) << "the lookup leaves the record alone";
}

TEST_F(KitProgramTest, OperatorsKitIsLookedForInItsFolder)
{
    std::wstring program = Put(L"Vodafone\\Via The Phone\\Vtp.exe");
    EXPECT_FALSE(Check(ITKTYPE_VTP, L"Vtp.exe"));
    m_install.RegisterProduct(kVtpKitCode, true);
    EXPECT_FALSE(Check(ITKTYPE_VTP, L"Vtp.EXE"));
    EXPECT_EQ(program, Check(ITKTYPE_VTP, L"Vtp.exe"));
}

TEST_F(KitProgramTest, PcSuiteProgramIsTheInstallPathAsItStands)
{
    EXPECT_FALSE(Check(TYPE_PCSYNC, L""));
    std::wstring missing = ProgramFilesFolder() + L"Norvo Electronics\\Norvo PC Suite III\\Gone.exe";
    m_install.registry.SetString(HKEY_CURRENT_USER, kPcSuiteKey, L"InstallPath", missing);
    m_run.m_strITKRunPath = L"previous";
    EXPECT_FALSE(Check(TYPE_PCSYNC, L""));
    EXPECT_EQ(L"previous", m_run.m_strITKRunPath);
    std::wstring program = Put(L"Norvo Electronics\\Norvo PC Suite III\\Suite.exe");
    m_install.registry.SetString(HKEY_CURRENT_USER, kPcSuiteKey, L"InstallPath", program);
    EXPECT_EQ(program, Check(TYPE_PCSYNC, L"ignored.exe"));
}

TEST_F(KitProgramTest, ConnectionManagerPathGetsOneBackslashBeforeTheProgram)
{
    std::wstring folder = ProgramFilesFolder() + L"K-21C Connection Manager";
    std::wstring program = Put(L"K-21C Connection Manager\\CM.exe");
    EXPECT_FALSE(Check(TYPE_CM_DCM, L"CM.exe"));
    for (const std::wstring& installPath : {folder, folder + L"\\"}) {
        m_install.registry.SetString(HKEY_CURRENT_USER, kConnectionManagerKey, L"CM_Install_path", installPath);
        EXPECT_EQ(program, Check(TYPE_CM_DCM, L"CM.exe")) << installPath;
    }
    m_install.registry.SetString(HKEY_CURRENT_USER, kConnectionManagerKey, L"CM_Install_path", L"");
    EXPECT_FALSE(Check(TYPE_CM_DCM, L"CM.exe"));
    EXPECT_FALSE(Check(9, L"CM.exe")) << "no program for an unknown kit";
}

TEST_F(KitProgramTest, ProgramNamesThatLeaveTheKitsFolderAreNotFound)
{
    m_install.RegisterProduct(kVtpKitCode);
    m_install.RegisterProduct(kNorvoKitCode);
    std::wstring escaped = Put(L"Escaped.exe"); // right beside the kits' folders
    Put(L"Vodafone\\Via The Phone\\Vtp.exe");
    Put(L"NorvoInternetKit\\Kit.exe");
    std::wstring manager = ProgramFilesFolder() + L"K-21C Connection Manager";
    m_install.files.MakeFolder(manager);
    m_install.registry.SetString(HKEY_CURRENT_USER, kConnectionManagerKey, L"CM_Install_path", manager);
    const std::wstring names[] = {L"..\\Escaped.exe", L"..\\..\\Escaped.exe", escaped,
                                  L"\\Escaped.exe",   L"C:Escaped.exe",       L"sub\\..\\..\\Escaped.exe"};
    for (int kit : {ITKTYPE_VTP, ITKTYPE_NorvoITK, TYPE_CM_DCM}) {
        for (const std::wstring& name : names) {
            m_run.m_strITKRunPath = L"previous";
            EXPECT_FALSE(Check(kit, name)) << kit << L" " << name;
            EXPECT_EQ(L"previous", m_run.m_strITKRunPath);
        }
    }
}

TEST_F(KitProgramTest, InternetKitAloneIsStartedWithAik)
{
    m_host.startForReal = false;
    for (int kit : {ITKTYPE_VTP, ITKTYPE_NorvoITK, TYPE_PCSYNC, TYPE_CM_DCM}) {
        m_run.m_ResDefineCommand.nITKType = kit;
        EXPECT_TRUE(m_core.RunITK(L"C:\\kit\\Kit.exe"));
    }
    ASSERT_EQ(4u, m_host.launches.size());
    EXPECT_EQ(L"C:\\kit\\Kit.exe", m_host.launches[1].program);
    EXPECT_EQ((std::vector<std::wstring>{L"", L"-aik", L"", L""}),
              (std::vector<std::wstring>{m_host.launches[0].parameters, m_host.launches[1].parameters,
                                         m_host.launches[2].parameters, m_host.launches[3].parameters}));
    EXPECT_TRUE(m_core.RunITK(L"")) << "nothing found: nothing to start";
    EXPECT_EQ(4u, m_host.launches.size());
}

TEST_F(KitProgramTest, InternetKitProgramSeesAikOnItsCommandLine)
{
    ScopedStandIns standIns;
    TempDir folder;
    std::wstring program = PlaceStandIn(L"SimKitProgram", folder.Path(), L"NorvoKit.exe");
    m_run.m_ResDefineCommand.nITKType = ITKTYPE_NorvoITK;
    EXPECT_TRUE(m_core.RunITK(program));
    ASSERT_TRUE(standIns.WaitForAction(L"NorvoKit.exe", L"exit"));
    std::vector<sim::ProgramAction> actions = standIns.Actions();
    ASSERT_FALSE(actions.empty());
    EXPECT_NE(std::wstring::npos, actions[0].command.find(L"NorvoKit.exe\" -aik")) << actions[0].command;
}
