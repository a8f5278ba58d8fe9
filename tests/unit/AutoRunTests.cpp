// AutoRun over a record that the test sets up: which steps run for each mode and kit type,
// every message that ends the sequence, the launch poll (its sleeps counted) and the stop checks.
#include "CoreTestSupport.h"

#include "common/FakePipeServer.h"
#include "common/ScopedRegistry.h"
#include "core/DeviceSeam.h"
#include "devpoke/Devpoke.h"
#include "devpoke/VendorCommands.h"

#include <algorithm>

using namespace plugtest;

namespace {

// The device on the program's own drive (at a CD start, the drive of the test's folder): its CD,
// with the language file on it, goes away when it switches to modem mode, which answers
// g_switchResult.
std::wstring g_languageOnTheCd;
int g_switchResult = 0;

int CdGoesWithTheSwitch(int letter, int firstByte, int secondByte, unsigned char* answer, int length)
{
    if (firstByte != devpoke::kModeCommand)
        return ::Devpoke(letter, firstByte, secondByte, answer, length);
    ::DeleteFileW(g_languageOnTheCd.c_str());
    return g_switchResult;
}

// Where the values for the Internet Kit are left.
const wchar_t kHandOffKey[] = L"SOFTWARE\\Norvo Electronics Inc\\3G NorvoInternetKit_AutoRun";

class AutoRunTest : public CoreTest {
protected:
    AutoRunTest()
    {
        m_host.startForReal = false; // programs are recorded; a started one has ended at once
        ResDefineCommand& profile = m_run.m_ResDefineCommand;
        profile.strDrive = L"R";
        profile.bInstallDrv = FALSE;
        profile.bInstallITK = FALSE;
        m_install.registry.Claim(HKEY_CURRENT_USER, kHandOffKey);
    }

    void Kit(int kitType) { m_run.m_ResDefineCommand.nITKType = kitType; }
    // The QCT driver installed and the device back as a modem.
    void DriverInstalled() { m_install.InstallQctDriver(L"1.0.0.0"); }
    // The device comes back as a modem (its enumeration and class entries, the system files).
    void DeviceComesBack()
    {
        m_install.RegisterQctDevice();
        m_install.PutQctSystemFiles();
    }
    // The operator's kit installed with its program; returns the program's path.
    std::wstring OperatorKitInstalled()
    {
        m_install.RegisterProduct(kVtpKitCode);
        std::wstring program = ProgramFilesFolder() + L"Vodafone\\Via The Phone\\Vtp.exe";
        m_install.files.Put(program);
        m_run.m_ResDefineCommand.strITKFilename = L"Vtp.exe";
        return program;
    }
    // The PC suite installed (its program named by "InstallPath"); returns the program's path.
    std::wstring PcSuiteInstalled()
    {
        std::wstring program = ProgramFilesFolder() + L"Norvo Electronics\\Norvo PC Suite III\\Norvo_PCSuiteIII.exe";
        m_install.files.Put(program);
        m_install.registry.SetString(HKEY_CURRENT_USER, kPcSuiteKey, L"InstallPath", program);
        return program;
    }
    void PcSuiteRuns() { m_install.registry.SetString(HKEY_CURRENT_USER, kPcSuiteKey, L"Running", L"1"); }
    // The Internet Kit's device with both setups to run: the driver's is in the program's folder
    // (not a program: its start is recorded and it ends at once), the kit's is named.
    void BothSetupsToRun()
    {
        Kit(ITKTYPE_NorvoITK);
        ResDefineCommand& profile = m_run.m_ResDefineCommand;
        profile.bInstallDrv = TRUE;
        profile.bInstallITK = TRUE;
        profile.strDrvSetupFilename = L"DriverSetup.exe";
        profile.strITKSetupFinename = L"InternetKitSetup.exe";
        m_placed.emplace_back(new ScopedFile(ProgramFolder() + L"DriverSetup.exe"));
        WriteBinaryFile(m_placed.back()->Path(), "MZ");
    }
    void DeviceFails(int result)
    {
        sim::DeviceState failing;
        failing.fail = result;
        m_sim.SetState(L'R', failing);
    }
    std::vector<std::wstring> Started() const
    {
        std::vector<std::wstring> names;
        for (const FakeRunHost::Start& start : m_host.starts)
            names.push_back(start.program.substr(start.program.rfind(L'\\') + 1));
        return names;
    }
    size_t SleepsOf(DWORD milliseconds) const
    {
        std::vector<DWORD> sleeps = m_sleeps.Sleeps();
        return static_cast<size_t>(std::count(sleeps.begin(), sleeps.end(), milliseconds));
    }
};

} // namespace

// --- The steps each mode and kit type runs ---

TEST_F(AutoRunTest, DriverOnlyModeInstallsTheDriverSwitchesTheDeviceAndStops)
{
    m_run.m_bFullInstall = FALSE;
    BothSetupsToRun();
    m_host.onStart = [this](const FakeRunHost::Start&) { DriverInstalled(); }; // the setup installs it
    PcSuiteRuns(); // would stop a full run at the verification

    EXPECT_TRUE(m_core.AutoRun());
    EXPECT_EQ(std::vector<std::wstring>{L"DriverSetup.exe"}, Started()) << "no kit setup";
    EXPECT_TRUE(ModeChanged());
    EXPECT_TRUE(m_host.launches.empty());
    EXPECT_TRUE(m_sleeps.Sleeps().empty()) << "no launch wait";
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(m_host.Traced(L"Only Driver install mode"));
    EXPECT_FALSE(m_run.m_bLaunchingITK);
}

TEST_F(AutoRunTest, DriverOnlyModeDoesNotVerifyTheDriver)
{
    m_run.m_bFullInstall = FALSE; // nothing installed, nothing to install
    EXPECT_TRUE(m_core.AutoRun());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(ModeChanged());
}

TEST_F(AutoRunTest, ConnectionManagerIsNeitherCheckedAgainstTheSuiteNorLaunched)
{
    Kit(TYPE_CM_DCM);
    DriverInstalled();
    PcSuiteRuns();
    EXPECT_TRUE(m_core.AutoRun());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(ModeChanged());
    EXPECT_TRUE(m_host.launches.empty());
    EXPECT_TRUE(m_sleeps.Sleeps().empty());
    EXPECT_TRUE(m_host.Traced(L"DCM Type : Mode Change & AutoRun End"));
}

TEST_F(AutoRunTest, PcSuiteStillToInstallGoesToTheCompanionInstallerAfterTheModeChange)
{
    Kit(TYPE_PCSYNC);
    m_run.m_ResDefineCommand.bInstallITK = TRUE;
    m_run.m_ResDefineCommand.strITKSetupFinename = L"InternetKitSetup.exe";
    DriverInstalled();
    PcSuiteRuns(); // not asked for the PC suite itself
    EXPECT_TRUE(m_core.AutoRun());
    EXPECT_TRUE(Started().empty()) << "the kit setup is not run for the PC suite";
    EXPECT_TRUE(ModeChanged());
    EXPECT_EQ(1, m_host.companionRuns);
    EXPECT_EQ((std::vector<bool>{false, true}), m_host.buttonChanges);
    EXPECT_TRUE(m_host.launches.empty());
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(AutoRunTest, InstalledPcSuiteIsLaunchedAfterAtLeastThreeSeconds)
{
    Kit(TYPE_PCSYNC);
    DriverInstalled();
    std::wstring program = PcSuiteInstalled();
    EXPECT_TRUE(m_core.AutoRun());
    ASSERT_EQ(1u, m_host.launches.size());
    EXPECT_EQ(program, m_host.launches[0].program);
    EXPECT_EQ(L"", m_host.launches[0].parameters);
    EXPECT_EQ(std::vector<DWORD>{3000}, m_sleeps.Sleeps()) << "the device is back at once: no poll sleep";
    EXPECT_TRUE(m_run.m_bLaunchingITK) << "the suite is installed";
    EXPECT_EQ(0, m_host.companionRuns);

    m_host.launches.clear();
    m_sleeps.Clear();
    m_run.m_ResDefineCommand.dwSCSIWaitTime = 4500;
    m_sim.SetState(L'R', sim::DeviceState());
    EXPECT_TRUE(m_core.AutoRun());
    EXPECT_EQ(std::vector<DWORD>{4500}, m_sleeps.Sleeps());
    EXPECT_EQ(1u, m_host.launches.size());
}

TEST_F(AutoRunTest, PcSuiteWhoseProgramIsMissingLaunchesNothing)
{
    Kit(TYPE_PCSYNC);
    DriverInstalled();
    m_install.registry.SetString(HKEY_CURRENT_USER, kPcSuiteKey, L"InstallPath",
                                 ProgramFilesFolder() + L"Norvo Electronics\\Norvo PC Suite III\\Gone.exe");
    EXPECT_TRUE(m_core.AutoRun());
    EXPECT_TRUE(m_host.launches.empty());
    EXPECT_TRUE(Boxes().empty());
}

// The launch keeps the program it starts in the record; when the PC suite's program is not
// found it starts the one found before, whatever it was.
TEST_F(AutoRunTest, LaunchWritesTheProgramItFoundIntoTheRecordAndKeepsItWhenThePcSuitesIsMissing)
{
    Kit(TYPE_PCSYNC);
    DriverInstalled();
    std::wstring program = PcSuiteInstalled();
    EXPECT_TRUE(m_core.AutoRun());
    EXPECT_EQ(program, m_run.m_strITKRunPath);

    m_install.registry.SetString(HKEY_CURRENT_USER, kPcSuiteKey, L"InstallPath",
                                 ProgramFilesFolder() + L"Norvo Electronics\\Norvo PC Suite III\\Gone.exe");
    m_sim.SetState(L'R', sim::DeviceState()); // a CD again
    EXPECT_TRUE(m_core.AutoRun());
    EXPECT_EQ(program, m_run.m_strITKRunPath);
    ASSERT_EQ(2u, m_host.launches.size());
    EXPECT_EQ(program, m_host.launches[1].program);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(AutoRunTest, InternetKitIsLaunchedWithItsArgumentAndItsHandOffValues)
{
    Kit(ITKTYPE_NorvoITK);
    DriverInstalled();
    m_install.InstallNorvoKit();
    m_run.m_ResDefineCommand.strITKFilename = L"NorvoInternetKit.exe";
    EXPECT_TRUE(m_core.AutoRun());
    ASSERT_EQ(1u, m_host.launches.size());
    EXPECT_EQ(ProgramFilesFolder() + L"NorvoInternetKit\\NorvoInternetKit.exe", m_host.launches[0].program);
    EXPECT_EQ(L"-aik", m_host.launches[0].parameters);
    EXPECT_EQ(std::vector<DWORD>{1000}, m_sleeps.Sleeps());
    EXPECT_TRUE(m_run.m_bLaunchingITK);
    EXPECT_EQ(L"QCT", ReadRegistryString(HKEY_CURRENT_USER, kHandOffKey, L"Driver_type"));
}

// --- The launch poll ---

TEST_F(AutoRunTest, LaunchPollGivesUpAfter181RoundsAndStartsTheProgramAnyway)
{
    DriverPackageOnly(); // installed, but the device never comes back as a modem
    std::wstring program = OperatorKitInstalled();
    m_run.m_ResDefineCommand.dwSCSIWaitTime = 0;
    EXPECT_TRUE(m_core.AutoRun());
    std::vector<DWORD> sleeps = m_sleeps.Sleeps();
    ASSERT_EQ(182u, sleeps.size());
    EXPECT_EQ(0u, sleeps[0]) << "a zero-length wait first";
    EXPECT_EQ(181u, SleepsOf(1000));
    ASSERT_EQ(1u, m_host.launches.size());
    EXPECT_EQ(program, m_host.launches[0].program);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(AutoRunTest, LaunchPollEndsWhenTheDeviceIsBack)
{
    DriverPackageOnly();
    OperatorKitInstalled();
    m_sleeps.OnSleep([this](size_t number, DWORD) {
        if (number == 5) // the wait and four poll rounds
            DeviceComesBack();
    });
    EXPECT_TRUE(m_core.AutoRun());
    EXPECT_EQ(std::vector<DWORD>(5, 1000), m_sleeps.Sleeps());
    EXPECT_EQ(1u, m_host.launches.size());
}

// --- Stop requests ---

TEST_F(AutoRunTest, StopDuringThePollEndsWithinOneRoundAndClearsTheLaunchFlag)
{
    DriverPackageOnly();
    OperatorKitInstalled();
    m_sleeps.OnSleep([this](size_t number, DWORD) {
        if (number == 3) {
            EXPECT_TRUE(m_run.m_bLaunchingITK);
            m_run.m_bThreadEnd = TRUE; // the user cancels during the second poll round
        }
    });
    int repaintsBefore = m_host.statusRepaints;
    EXPECT_FALSE(m_core.AutoRun());
    EXPECT_EQ(3u, m_sleeps.Sleeps().size());
    EXPECT_FALSE(m_run.m_bLaunchingITK);
    EXPECT_GT(m_host.statusRepaints, repaintsBefore + 1) << "the cleared flag is shown";
    EXPECT_TRUE(m_host.launches.empty());
    EXPECT_TRUE(m_host.Traced(L"[m_bThreadEnd == TRUE (4)]"));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(AutoRunTest, StopRequestedBeforeTheRunStartsNothing)
{
    m_run.m_ResDefineCommand.bInstallDrv = TRUE;
    m_run.m_ResDefineCommand.strDrvSetupFilename = L"DriverSetup.exe";
    m_run.m_bThreadEnd = TRUE;
    EXPECT_FALSE(m_core.AutoRun());
    EXPECT_TRUE(m_host.starts.empty());
    EXPECT_FALSE(ModeChanged());
    EXPECT_TRUE(m_host.Traced(L"[m_bThreadEnd == TRUE (0)]"));
    EXPECT_TRUE(m_run.m_bAutoRunStarted);
}

// A cancel while a setup runs only sets the flag: the worker stops at the next check after it.
TEST_F(AutoRunTest, StopRequestedDuringASetupStopsAtTheNextCheck)
{
    BothSetupsToRun();
    m_host.onStart = [this](const FakeRunHost::Start&) {
        DriverInstalled();
        m_run.m_bThreadEnd = TRUE;
    };
    EXPECT_FALSE(m_core.AutoRun());
    EXPECT_EQ(std::vector<std::wstring>{L"DriverSetup.exe"}, Started());
    EXPECT_TRUE(m_host.Traced(L"[m_bThreadEnd == TRUE (1)]"));

    // During the kit setup: after the kit and its hand-off values, before the verification.
    m_run.m_bThreadEnd = FALSE;
    m_run.m_ResDefineCommand.bInstallDrv = FALSE;
    m_host.starts.clear();
    m_host.onStart = [this](const FakeRunHost::Start&) {
        m_install.InstallNorvoKit();
        m_run.m_bThreadEnd = TRUE;
    };
    EXPECT_FALSE(m_core.AutoRun());
    EXPECT_EQ(std::vector<std::wstring>{L"InternetKitSetup.exe"}, Started());
    EXPECT_TRUE(m_host.Traced(L"[m_bThreadEnd == TRUE (2)]"));
    EXPECT_FALSE(ModeChanged());
    EXPECT_TRUE(Boxes().empty());
}

// --- Every message that ends the sequence ---

TEST_F(AutoRunTest, DriverThatIsNotInstalledAfterItsSetupIsReported)
{
    m_run.m_ResDefineCommand.bInstallDrv = TRUE;
    m_run.m_ResDefineCommand.strDrvSetupFilename = L"NoSuchSetup.exe";
    EXPECT_FALSE(m_core.AutoRun());
    m_run.m_ResDefineCommand.strDrvSetupFilename.clear();
    EXPECT_FALSE(m_core.AutoRun());
    EXPECT_EQ((std::vector<std::wstring>{L"STR_STRING_DRV_NOT_INSTALL_NOTIFY", L"STR_STRING_ERROR_DRV_SETUP_NAME_EMPTY",
                                         L"STR_STRING_DRV_NOT_INSTALL_NOTIFY"}),
              Boxes());
    EXPECT_EQ((std::vector<bool>{false, true, false, true}), m_host.buttonChanges) << "enabled again after the box";
    EXPECT_FALSE(ModeChanged());
}

TEST_F(AutoRunTest, KitThatIsNotInstalledAfterItsSetupIsReportedWithTheKitsProduct)
{
    m_run.m_ResDefineCommand.bInstallITK = TRUE;
    m_run.m_ResDefineCommand.strITKSetupFinename = L"NoSuchKitSetup.exe";
    DriverInstalled();
    for (int kit : {ITKTYPE_VTP, ITKTYPE_NorvoITK, TYPE_CM_DCM}) {
        Kit(kit);
        EXPECT_FALSE(m_core.AutoRun());
    }
    m_run.m_strLangFile = L"tools\\lang_AutoRun_japan.opt"; // the connection manager has its own text there
    EXPECT_FALSE(m_core.AutoRun());
    {
        std::map<std::wstring, std::wstring> values = KeyLanguage();
        values[L"STR_STRING_PCSUITE_NOT_INSTALL_CM"] = L"   ";
        ScopedLanguageFile blankCm(values);
        EXPECT_FALSE(m_core.AutoRun());
    }
    m_run.m_ResDefineCommand.strITKSetupFinename.clear();
    EXPECT_FALSE(m_core.AutoRun());
    EXPECT_EQ((std::vector<std::wstring>{
                  L"STR_STRING_PCSUITE_NOT_INSTALL (Vodafone Mobile Connect via the phone)",
                  L"STR_STRING_PCSUITE_NOT_INSTALL (Norvo Internet Kit)",
                  L"STR_STRING_PCSUITE_NOT_INSTALL (Norvo Connection Manager)",
                  L"STR_STRING_PCSUITE_NOT_INSTALL_CM",
                  L"STR_STRING_PCSUITE_NOT_INSTALL (Norvo PC Suite)",
                  L"STR_STRING_ERROR_ITK_FILENAME_EMPTY",
                  L"STR_STRING_PCSUITE_NOT_INSTALL_CM",
              }),
              Boxes());
    EXPECT_EQ(5u, m_host.starts.size()) << "every setup but the unnamed one";
    EXPECT_FALSE(ModeChanged());
}

TEST_F(AutoRunTest, VerificationReportsAMissingDriverAndARunningSuite)
{
    EXPECT_FALSE(m_core.AutoRun()); // no driver, and none was to be installed
    DriverInstalled();
    PcSuiteRuns();
    for (int kit : {ITKTYPE_VTP, ITKTYPE_NorvoITK}) {
        Kit(kit);
        EXPECT_FALSE(m_core.AutoRun());
    }
    EXPECT_EQ(
        (std::vector<std::wstring>{L"STR_STRING_DRV_NOT_INSTALL_NOTIFY", L"STR_STRING_CANNOT_START_ITK [no owner]",
                                   L"STR_STRING_CANNOT_START_ITK [no owner]"}),
        Boxes());
    EXPECT_FALSE(ModeChanged());
}

TEST_F(AutoRunTest, ModeChangeFailuresEachHaveTheirMessage)
{
    m_run.m_bFullInstall = FALSE;
    StartFromPc(L"1");
    EXPECT_FALSE(m_core.AutoRun());
    StartFromPc(L"R");
    DeviceFails(-2);
    EXPECT_FALSE(m_core.AutoRun());
    DeviceFails(-3);
    EXPECT_FALSE(m_core.AutoRun());
    EXPECT_EQ((std::vector<std::wstring>{L"STR_STRING_ERROR_SCSI_0_1", L"STR_STRING_ERROR_SCSI_1_1",
                                         L"STR_STRING_ERROR_SCSI_2_1"}),
              Boxes());
}

TEST_F(AutoRunTest, RefusedModeChangeGoesThroughTheServiceOnlyForTheOperatorsKitBeforeVista)
{
    m_run.m_bFullInstall = FALSE;
    DenyUsers();
    FakePipeServer pipe(FakePipeServer::Behaviour::Reply, Utf16Message(u"0", 4));
    Kit(ITKTYPE_NorvoITK);
    EXPECT_FALSE(m_core.AutoRun());
    Kit(ITKTYPE_VTP);
    m_run.m_bVistaOS = TRUE;
    EXPECT_FALSE(m_core.AutoRun());
    EXPECT_EQ((std::vector<std::wstring>{L"STR_STRING_NON_ADMIN_NOTI", L"STR_STRING_NON_ADMIN_NOTI"}), Boxes());
    EXPECT_TRUE(pipe.Requests().empty());

    m_run.m_bVistaOS = FALSE;
    EXPECT_TRUE(m_core.AutoRun());
    ASSERT_EQ(1u, pipe.Requests().size());
    EXPECT_EQ(Utf16Message(u"AUTORUNSERVICE_MODECHANGE\\R", 260), pipe.Requests()[0]);
    EXPECT_EQ(2u, Boxes().size());
}

TEST_F(AutoRunTest, ServiceModeChangeFailuresEachHaveTheirMessageAndItsAccessDeniedIsSuccess)
{
    m_run.m_bFullInstall = FALSE;
    DenyUsers();
    for (const char16_t* reply : {u"-1", u"-2", u"-3"}) {
        FakePipeServer pipe(FakePipeServer::Behaviour::Reply, Utf16Message(reply, 6));
        EXPECT_FALSE(m_core.AutoRun());
    }
    {
        FakePipeServer pipe(FakePipeServer::Behaviour::CloseWithoutReply);
        EXPECT_FALSE(m_core.AutoRun());
    }
    EXPECT_FALSE(m_core.AutoRun()); // no service at all: the pipe never opens
    EXPECT_EQ((std::vector<std::wstring>{L"STR_STRING_ERROR_SCSI_4_1", L"STR_STRING_ERROR_SCSI_5_1",
                                         L"STR_STRING_ERROR_SCSI_6_1", L"STR_STRING_ERROR_SCSI_3_1",
                                         L"STR_STRING_ERROR_SCSI_3_1"}),
              Boxes());
    FakePipeServer pipe(FakePipeServer::Behaviour::Reply, Utf16Message(u"-20", 8));
    EXPECT_TRUE(m_core.AutoRun());
    EXPECT_EQ(5u, Boxes().size());
}

TEST_F(AutoRunTest, KitProgramThatCannotBeFoundIsReportedWithTheKitsProduct)
{
    DriverInstalled();
    for (int kit : {ITKTYPE_VTP, ITKTYPE_NorvoITK}) {
        Kit(kit);
        m_sim.SetState(L'R', sim::DeviceState());
        EXPECT_FALSE(m_core.AutoRun());
    }
    EXPECT_EQ((std::vector<std::wstring>{L"STR_STRING_NOT_FOUND_PCSUITE (Vodafone Mobile Connect via the phone)",
                                         L"STR_STRING_NOT_FOUND_PCSUITE (Norvo Internet Kit)"}),
              Boxes());
    EXPECT_TRUE(m_host.launches.empty());
    EXPECT_TRUE(m_sleeps.Sleeps().empty()) << "reported before the wait";
}

TEST_F(AutoRunTest, FailedServiceDeploymentStopsWithoutAMessage)
{
    m_run.m_bDeploySVC = TRUE;
    m_run.m_ResDefineCommand.bInstallDrv = TRUE;
    m_run.m_ResDefineCommand.strDrvSetupFilename = L"DriverSetup.exe";
    WriteConfig({{L"SERVICE", {{L"filecount", L"1"}, {L"file00", L"tools\\NoSuchService.exe"}}}});
    EXPECT_FALSE(m_core.AutoRun());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(m_host.starts.empty()) << "no driver step";
    EXPECT_FALSE(m_run.m_bInstallingSVC);
    EXPECT_FALSE(ModeChanged());
}

// --- A CD start: the CD goes away with the mode change ---

// The program runs from the device's CD, which goes away at the mode change together with the
// language file on it: what the run shows afterwards is read before, and the programs it starts
// afterwards do not inherit a folder of the CD as their current directory.
TEST_F(AutoRunTest, AtACdStartNothingAfterTheModeChangeNeedsTheCd)
{
    struct Case {
        const char* what;
        int kitType;
        BOOL vista;
        int switchResult;
        bool kitInstalled;
        std::vector<std::wstring> boxes;
    };
    const int refused = FAIL_TO_OPEN_DRIVE_ACCESS_DENIED;
    // clang-format off
    const Case cases[] = {
        {"no kit program", ITKTYPE_VTP, FALSE, 0, false,
         {L"STR_STRING_NOT_FOUND_PCSUITE (Vodafone Mobile Connect via the phone)"}},
        {"no Internet Kit program", ITKTYPE_NorvoITK, TRUE, 0, false,
         {L"STR_STRING_NOT_FOUND_PCSUITE (Norvo Internet Kit)"}},
        {"the switch fails", ITKTYPE_VTP, FALSE, FAIL_TO_FIND_DRIVE, true, {L"STR_STRING_ERROR_SCSI_0_1"}},
        {"refused, and the command service may not switch", ITKTYPE_NorvoITK, FALSE, refused, true,
         {L"STR_STRING_NON_ADMIN_NOTI"}},
        {"refused on Vista", ITKTYPE_VTP, TRUE, refused, true, {L"STR_STRING_NON_ADMIN_NOTI"}},
        {"refused, and no command service runs", ITKTYPE_VTP, FALSE, refused, true, {L"STR_STRING_ERROR_SCSI_3_1"}},
        {"the kit starts", ITKTYPE_VTP, FALSE, 0, true, {}},
    };
    // clang-format on
    wchar_t previous[MAX_PATH * 2] = {};
    ::GetCurrentDirectoryW(MAX_PATH * 2, previous);
    StartFromCd();
    DriverInstalled();
    DeviceComesBack();
    m_run.m_ResDefineCommand.strITKFilename = L"Vtp.exe";
    plug::DevpokeFunction device = plug::SetDevpokeFunction(&CdGoesWithTheSwitch);
    bool kitInstalled = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedLanguageFile language(KeyLanguage()); // the one on the CD
        g_languageOnTheCd = language.Path();
        g_switchResult = c.switchResult;
        Kit(c.kitType);
        m_run.m_bVistaOS = c.vista;
        if (c.kitInstalled && !kitInstalled)
            OperatorKitInstalled();
        kitInstalled = c.kitInstalled;
        m_boxes.Clear();
        m_host.launches.clear();
        m_host.launchDirectories.clear();
        ::SetCurrentDirectoryW(ProgramFolder().c_str()); // where auto-run starts the program

        m_core.AutoRun();
        EXPECT_FALSE(plugtest::PathExists(language.Path())) << "the CD went";
        EXPECT_EQ(c.boxes, Boxes());
        EXPECT_EQ(c.boxes.empty() ? 1u : 0u, m_host.launches.size());
        for (const std::wstring& directory : m_host.launchDirectories)
            EXPECT_NE(0, _wcsnicmp(directory.c_str(), ProgramFolder().c_str(), ProgramFolder().size() - 1))
                << "launched from " << std::string(directory.begin(), directory.end());
    }
    plug::SetDevpokeFunction(device);
    ::SetCurrentDirectoryW(previous);
}
