// Whether a connection kit is installed, and whether a PC suite runs.
#include "DetectTestSupport.h"

#include "common/ChildProcess.h"
#include "process/ProcessLookup.h"

using namespace plugtest;

namespace {

class KitCheckTest : public DetectTest {
protected:
    BOOL Installed(int type) { return m_detect.IsInstalledITK(type); }
};

// A copy of the test program started from path, found by the process lookup while it runs.
class RunningCopy {
public:
    explicit RunningCopy(const std::wstring& path) : m_process(Start(m_files, path))
    {
        // Running once the lookup can see it.
        for (int attempt = 0; attempt < 200 && !plug::TechFindProcess(path.c_str()); ++attempt)
            ::Sleep(25);
    }

private:
    static ChildProcess Start(ScopedFiles& files, const std::wstring& path)
    {
        files.Put(path, ThisExecutable());
        return ChildProcess::Start(path, L"--child wait_for_lookup");
    }

    ScopedFiles m_files;
    ChildProcess m_process;
};

} // namespace

PLUGTEST_CHILD_MODE(wait_for_lookup)
{
    (void)arguments;
    ::Sleep(60000);
    return 0;
}

TEST_F(KitCheckTest, DriverOnlyModeCountsEveryKitAsInstalled)
{
    m_run.m_bFullInstall = FALSE;
    for (int type : {0, 1, 2, 3, 7})
        EXPECT_TRUE(Installed(type)) << type;
    m_run.m_bFullInstall = TRUE;
    for (int type : {0, 1, 2, 3})
        EXPECT_FALSE(Installed(type)) << type;
    EXPECT_TRUE(Installed(7));
    EXPECT_TRUE(Installed(-1));
}

TEST_F(KitCheckTest, VtpKitNeedsOnlyItsUninstallKeyInEitherPlace)
{
    for (bool wow : {false, true}) {
        FakeInstallation install;
        install.RegisterProduct(kVtpKitCode, wow);
        EXPECT_TRUE(Installed(ITKTYPE_VTP)) << wow;
    }
}

TEST_F(KitCheckTest, InternetKitNeedsItsKeyAndItsProgram)
{
    m_install.files.Put(ProgramFilesFolder() + L"NorvoInternetKit\\NorvoInternetKit.exe");
    EXPECT_FALSE(Installed(ITKTYPE_NorvoITK));
    m_install.RegisterProduct(kNorvoKitCode, true);
    EXPECT_TRUE(Installed(ITKTYPE_NorvoITK));

    RemoveFileForced(ProgramFilesFolder() + L"NorvoInternetKit\\NorvoInternetKit.exe");
    EXPECT_FALSE(Installed(ITKTYPE_NorvoITK));
}

TEST_F(KitCheckTest, PcSuiteNeedsItsKeyAndAnExistingInstallPath)
{
    TempDir folder;
    m_install.registry.CreateKey(HKEY_CURRENT_USER, kPcSuiteKey);
    EXPECT_FALSE(Installed(TYPE_PCSYNC)); // no InstallPath
    m_install.registry.SetString(HKEY_CURRENT_USER, kPcSuiteKey, L"InstallPath", folder.File(L"Suite.exe"));
    EXPECT_FALSE(Installed(TYPE_PCSYNC)); // no such file
    m_install.files.Put(folder.File(L"Suite.exe"));
    EXPECT_TRUE(Installed(TYPE_PCSYNC));
}

TEST_F(KitCheckTest, ConnectionManagerFileIsLookedForWithOneBackslash)
{
    TempDir folder;
    m_run.m_ResDefineCommand.strITKFilename = L"K21cCM.exe";
    m_install.files.Put(folder.File(L"K21cCM.exe"));
    EXPECT_FALSE(Installed(TYPE_CM_DCM)); // no key
    m_install.registry.SetString(HKEY_CURRENT_USER, kConnectionManagerKey, L"CM_Install_path", L"");
    EXPECT_FALSE(Installed(TYPE_CM_DCM));
    std::wstring withoutBackslash = folder.Path().substr(0, folder.Path().size() - 1);
    for (const std::wstring& path : {withoutBackslash, folder.Path()}) {
        m_install.registry.SetString(HKEY_CURRENT_USER, kConnectionManagerKey, L"CM_Install_path", path);
        EXPECT_TRUE(Installed(TYPE_CM_DCM)) << path;
    }
    m_run.m_ResDefineCommand.strITKFilename = L"Other.exe";
    EXPECT_FALSE(Installed(TYPE_CM_DCM));
}

// The program name comes from the configuration: one that leaves the install folder is not
// looked for, even when a file lies where it points.
TEST_F(KitCheckTest, ConnectionManagerProgramNameThatLeavesItsFolderIsMissing)
{
    TempDir folder;
    m_install.files.Put(folder.File(L"Manager.exe"));
    m_install.registry.SetString(HKEY_CURRENT_USER, kConnectionManagerKey, L"CM_Install_path", folder.File(L"bin"));
    m_run.m_ResDefineCommand.strITKFilename = L"..\\Manager.exe";
    EXPECT_FALSE(Installed(TYPE_CM_DCM));
    m_run.m_ResDefineCommand.strITKFilename = folder.File(L"Manager.exe"); // absolute
    EXPECT_FALSE(Installed(TYPE_CM_DCM));
}

TEST_F(KitCheckTest, SuiteRunningFlagCountsAsStringOneOrDwordOne)
{
    EXPECT_FALSE(m_detect.IsRunPCSuiteApp());
    m_install.registry.CreateKey(HKEY_CURRENT_USER, kPcSuiteKey);
    struct Flag {
        bool asText;
        const wchar_t* text;
        DWORD number;
        bool running;
    };
    const Flag flags[] = {{true, L"1", 0, true},     {false, nullptr, 1, true}, {true, L"0", 0, false},
                          {true, L"yes", 0, false},  {true, L"1 ", 0, false},   {false, nullptr, 2, false},
                          {false, nullptr, 0, false}};
    for (const Flag& flag : flags) {
        if (flag.asText)
            m_install.registry.SetString(HKEY_CURRENT_USER, kPcSuiteKey, L"Running", flag.text);
        else
            m_install.registry.SetDWORD(HKEY_CURRENT_USER, kPcSuiteKey, L"Running", flag.number);
        EXPECT_EQ(flag.running, m_detect.IsRunPCSuiteApp() != FALSE) << (flag.asText ? flag.text : L"DWORD");
    }
}

TEST_F(KitCheckTest, RunningSuiteProgramIsFoundFromItsDefaultPath)
{
    // No registry at all: the Program Files default path of the suite's program.
    RunningCopy suite(ProgramFilesFolder() + L"Norvo Electronics\\Norvo PC Suite III\\Norvo_PCSuiteIII.exe");
    EXPECT_TRUE(m_detect.IsRunPCSuiteApp());
}

TEST_F(KitCheckTest, EarlierSuitesAreFoundByTheirFolders)
{
    TempDir folder;
    m_install.registry.SetString(HKEY_CURRENT_USER, kPcSuiteKey, L"Running", L"0");
    m_install.registry.SetString(HKEY_CURRENT_USER, L"SOFTWARE\\Norvo Electronics Inc\\3G Syncwell 2.0", L"InstallPath",
                                 folder.File(L"Syncwell"));
    m_install.registry.SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Norvo PC Suite2", L"BasePath", folder.File(L"Suite2"));
    {
        RunningCopy syncwell(folder.File(L"Syncwell\\Bin\\Sync.exe"));
        EXPECT_TRUE(m_detect.IsRunPCSuiteApp());
    }
    {
        RunningCopy suite2(folder.File(L"Suite2\\Suite2.exe"));
        EXPECT_TRUE(m_detect.IsRunPCSuiteApp());
    }
    EXPECT_FALSE(m_detect.IsRunPCSuiteApp());
    // Without the suite's own key the earlier suites are not looked for.
    ScopedRegistry::DeleteTree(HKEY_CURRENT_USER, kPcSuiteKey);
    RunningCopy suite2(folder.File(L"Suite2\\Suite2.exe"));
    EXPECT_FALSE(m_detect.IsRunPCSuiteApp());
}
