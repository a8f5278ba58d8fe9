// The stand-ins for the maker's driver setups, removers, kit setups and kit programs, run as real
// processes and checked from the outside: the registry, the folders and their log.
#include "common/ChildProcess.h"
#include "common/FakeInstallation.h"
#include "common/StandIns.h"
#include "common/TestFiles.h"

#include "sim/programs/InstallRecord.h"
#include "sim/programs/StandInFiles.h"
#include "sim/programs/VersionStamp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace plugtest;

namespace {

const HKEY kHklm = HKEY_LOCAL_MACHINE;

bool ProcessRuns(const ChildProcess& process) { return ::WaitForSingleObject(process.Handle(), 0) == WAIT_TIMEOUT; }

bool Is64BitView()
{
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

class StandInTest : public testing::Test {
protected:
    StandInTest() { ClaimWhatInstallersMayMake(m_registry, m_files); }

    std::wstring Place(const std::wstring& standIn, const std::wstring& name)
    {
        return PlaceStandIn(standIn, m_folder.Path(), name);
    }
    // Runs a program from the test's program folder and returns its exit code.
    int Run(const std::wstring& program, const std::wstring& arguments = L"")
    {
        return ChildProcess::Start(program, arguments, m_folder.Path()).Wait(60000);
    }
    ChildProcess Start(const std::wstring& program) { return ChildProcess::Start(program, L"", m_folder.Path()); }
    // Starts a stand-in placed as name whose role's script holds it by the file release (holdKey
    // "wait_for_file" or "exit_wait_for_file"), and returns once it waits.
    ChildProcess StartHeld(const wchar_t* role, const wchar_t* holdKey, const std::wstring& standIn,
                           const std::wstring& name, const std::wstring& release)
    {
        m_standIns.Script(role, holdKey, release);
        m_standIns.Script(role, L"wait_limit_ms", L"600000");
        ChildProcess setup = Start(Place(standIn, name));
        EXPECT_TRUE(m_standIns.WaitForAction(name, L"waiting"));
        EXPECT_TRUE(ProcessRuns(setup));
        return setup;
    }

    // Everything a driver or kit setup may change.
    static std::wstring Snapshot()
    {
        std::wstring text = RegistryTreeText(kHklm, L"SYSTEM\\CurrentControlSet\\Enum\\USB");
        for (const wchar_t* classKey : kClassKeys)
            text += RegistryTreeText(kHklm, classKey);
        text += RegistryTreeText(kHklm, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
        text += RegistryTreeText(kHklm, L"SOFTWARE\\Wow6432Node");
        text += RegistryTreeText(HKEY_CURRENT_USER, L"SOFTWARE\\Norvo Electronics Inc");
        text += RegistryTreeText(HKEY_CURRENT_USER, kConnectionManagerKey);
        std::wstring programFiles = ProgramFilesFolder();
        text += FolderTreeText(programFiles.substr(0, programFiles.size() - 1));
        std::wstring drivers = SystemDriversFolder();
        text += FolderTreeText(drivers.substr(0, drivers.size() - 1));
        return text;
    }

    static std::wstring Uninstall(const wchar_t* code, const wchar_t* name, bool wow = false)
    {
        return ReadRegistryString(kHklm, UninstallKeyPath(code, wow), name);
    }

    ScopedStandIns m_standIns;
    ScopedRegistry m_registry;
    ScopedFiles m_files;
    TempDir m_folder; // the program folder the stand-ins are started from
};

} // namespace

TEST_F(StandInTest, QctSetupAppendsAfterExistingClassEntriesAndItsRemoverRestoresEverything)
{
    m_registry.SetString(kHklm, ClassEntry(kUsbClassKey, FirstFreeNumber(kUsbClassKey)), L"DriverDesc",
                         L"Another Composite Device");
    int usbNumber = FirstFreeNumber(kUsbClassKey);
    int modemNumber = FirstFreeNumber(kModemClassKey);
    int portsNumber = FirstFreeNumber(kPortsClassKey);
    std::wstring before = Snapshot();
    m_standIns.Script(L"driver_setup", L"family", L"QCT");
    m_standIns.Script(L"driver_setup", L"version", L"2.1.0.4");

    std::wstring setup = Place(L"SimDriverSetup", L"DriverSetup.exe");
    ASSERT_EQ(0, Run(setup, L"/quiet"));
    for (int key = 0; key < 3; ++key)
        EXPECT_TRUE(ScopedRegistry::KeyExists(kHklm, kEnumUsb + std::wstring(kEnumKeys[key]))) << kEnumKeys[key];
    EXPECT_EQ(L"NorvoE Mobile Composite USB Device",
              ReadRegistryString(kHklm, ClassEntry(kUsbClassKey, usbNumber), L"DriverDesc"));
    EXPECT_EQ(L"NorvoE Mobile USB Modem",
              ReadRegistryString(kHklm, ClassEntry(kModemClassKey, modemNumber), L"DriverDesc"));
    EXPECT_EQ(L"NorvoE Mobile USB Serial Port",
              ReadRegistryString(kHklm, ClassEntry(kPortsClassKey, portsNumber), L"DriverDesc"));
    std::wstring package = ProgramFilesFolder() + L"Norvo Electronics\\Norvo USB Modem Drivers\\";
    for (const wchar_t* name : kQctFiles) {
        EXPECT_TRUE(PathExists(SystemDriversFolder() + name)) << name;
        EXPECT_TRUE(PathExists(package + name)) << name;
    }
    EXPECT_EQ(L"2.1.0.4", Uninstall(kQctDriversCode, L"DisplayVersion"));
    EXPECT_EQ(L"2.1.0.4", FixedFileVersion(package + L"norvousbbus.sys"));
    EXPECT_EQ(L"2.1.0.4", FileVersionString(package + L"norvousbbus.sys"));
    EXPECT_EQ((std::vector<std::wstring>{L"start", L"installed QCT 2.1.0.4", L"exit 0"}),
              m_standIns.ActionsOf(L"DriverSetup.exe"));
    EXPECT_NE(std::wstring::npos, m_standIns.Actions().front().command.find(L"DriverSetup.exe\" /quiet"));

    ASSERT_EQ(0, Run(Place(L"SimQctRemover", L"UninstallMSI.exe")));
    EXPECT_EQ(before, Snapshot());
    EXPECT_EQ((std::vector<std::wstring>{L"start", L"removed QCT", L"exit 0"}),
              m_standIns.ActionsOf(L"UninstallMSI.exe"));
    EXPECT_FALSE(PathExists(sim::kInstalledRecord)) << "nothing is left to record";
}

TEST_F(StandInTest, EmpSetupWritesItsPlatformFolderAndItsRemoverRestoresEverything)
{
    std::wstring before = Snapshot();
    m_standIns.Script(L"driver_setup", L"family", L"EMP");
    m_standIns.Script(L"driver_setup", L"version", L"3.2.1.0");
    ASSERT_EQ(0, Run(Place(L"SimDriverSetup", L"DriverSetup.exe")));

    std::wstring package = ProgramFilesFolder() + L"Norvo Electronics\\Norvo MC USB R880 Driver\\" +
                           (Is64BitView() ? L"Norvo64\\amd64\\" : L"Norvo32\\i386\\");
    for (const wchar_t* name : kEmpFiles) {
        EXPECT_TRUE(PathExists(SystemDriversFolder() + name)) << name;
        EXPECT_TRUE(PathExists(package + name)) << name;
    }
    EXPECT_EQ(L"3.2.1.0", FixedFileVersion(package + L"norvomdbus.sys"));
    EXPECT_TRUE(ScopedRegistry::KeyExists(kHklm, kEnumUsb + std::wstring(L"Vid_2C7D&Pid_7A21&Mi_01")));
    EXPECT_TRUE(ScopedRegistry::KeyExists(kHklm, UninstallKeyPath(kEmpDriverCode, false)));

    std::wstring remover = Place(L"SimEmpRemover", L"EmpUninstall.exe");
    ASSERT_EQ(0, Run(remover));
    EXPECT_EQ(before, Snapshot());
    ASSERT_EQ(0, Run(remover));
    EXPECT_EQ((std::vector<std::wstring>{L"start", L"removed EMP", L"exit 0", L"start",
                                         L"removed EMP (nothing was installed)", L"exit 0"}),
              m_standIns.ActionsOf(L"EmpUninstall.exe"));
}

TEST_F(StandInTest, K21cSetupNamesItsFolderAndItsRemoverRestoresEverything)
{
    std::wstring before = Snapshot();
    m_standIns.Script(L"driver_setup", L"family", L"foma_k21c");
    m_standIns.Script(L"driver_setup", L"version", L"1.5");
    ASSERT_EQ(0, Run(Place(L"SimDriverSetup", L"K21cSetup.exe")));

    std::wstring location = Uninstall(kK21cCode, L"InstallLocation");
    ASSERT_FALSE(location.empty());
    EXPECT_EQ(L'\\', location.back());
    EXPECT_TRUE(PathExists(location + L"K21cbus.sys"));
    EXPECT_EQ(L"1.5.0.0", FixedFileVersion(location + L"K21cmdm.sys"));
    EXPECT_EQ(L"1.5", Uninstall(kK21cCode, L"DisplayVersion"));

    ASSERT_EQ(0, Run(Place(L"SimK21cRemover", L"K21cRemover.exe")));
    EXPECT_EQ(before, Snapshot());
}

TEST_F(StandInTest, QctEditionChoosesProductCodeAndFolderAndTheVersionValueCanBeLeftOut)
{
    std::wstring before = Snapshot();
    std::wstring setup = Place(L"SimDriverSetup", L"DriverSetup.exe");
    std::wstring remover = Place(L"SimQctRemover", L"UninstallMSI.exe");
    m_standIns.Script(L"driver_setup", L"version", L"2.0.0.9");

    m_standIns.Script(L"driver_setup", L"edition", L"driver");
    m_standIns.Script(L"driver_setup", L"display_version", L"none");
    ASSERT_EQ(0, Run(setup));
    EXPECT_TRUE(ScopedRegistry::KeyExists(kHklm, UninstallKeyPath(kQctDriverCode, false)));
    EXPECT_FALSE(ScopedRegistry::KeyExists(kHklm, UninstallKeyPath(kQctDriversCode, false)));
    EXPECT_FALSE(RegistryValueExists(kHklm, UninstallKeyPath(kQctDriverCode, false), L"DisplayVersion"));
    EXPECT_EQ(L"2.0.0.9",
              FixedFileVersion(ProgramFilesFolder() + L"Norvo Electronics\\Norvo USB Modem Driver\\norvousbbus.sys"));
    ASSERT_EQ(0, Run(remover));
    EXPECT_EQ(before, Snapshot());

    m_standIns.Script(L"driver_setup", L"edition", L"drivers2");
    m_standIns.Script(L"driver_setup", L"display_version", L"empty");
    m_standIns.Script(L"driver_setup", L"wow6432node", L"1");
    ASSERT_EQ(0, Run(setup));
    EXPECT_TRUE(ScopedRegistry::KeyExists(kHklm, UninstallKeyPath(kQctDriversSecondCode, true)));
    EXPECT_FALSE(ScopedRegistry::KeyExists(kHklm, UninstallKeyPath(kQctDriversSecondCode, false)));
    EXPECT_TRUE(RegistryValueExists(kHklm, UninstallKeyPath(kQctDriversSecondCode, true), L"DisplayVersion"));
    EXPECT_EQ(L"", Uninstall(kQctDriversSecondCode, L"DisplayVersion", true));
    EXPECT_TRUE(PathExists(ProgramFilesFolder() + L"Norvo Electronics\\Norvo USB Modem Drivers\\norvousbbus.sys"));
    ASSERT_EQ(0, Run(remover));
    EXPECT_EQ(before, Snapshot());
}

TEST_F(StandInTest, ScriptedFailureAndCancelChangeNothing)
{
    std::wstring before = Snapshot();
    std::wstring driverSetup = Place(L"SimDriverSetup", L"DriverSetup.exe");
    std::wstring kitSetup = Place(L"SimKitSetup", L"InternetKitSetup.exe");
    const std::pair<const wchar_t*, int> outcomes[] = {{L"fail", 1603}, {L"cancel", 1602}};
    for (const auto& [outcome, exitCode] : outcomes) {
        SCOPED_TRACE(outcome);
        m_standIns.Script(L"driver_setup", L"outcome", outcome);
        m_standIns.Script(L"kit_setup", L"outcome", outcome);
        EXPECT_EQ(exitCode, Run(driverSetup));
        EXPECT_EQ(exitCode, Run(kitSetup));
        EXPECT_EQ(before, Snapshot());
    }
    EXPECT_EQ((std::vector<std::wstring>{L"start", L"failed as scripted", L"exit 1603", L"start",
                                         L"cancelled as scripted", L"exit 1602"}),
              m_standIns.ActionsOf(L"InternetKitSetup.exe"));

    // A remover told to fail leaves the driver where it is.
    m_standIns.ClearScript();
    ASSERT_EQ(0, Run(driverSetup));
    std::wstring installed = Snapshot();
    m_standIns.Script(L"qct_remover", L"outcome", L"fail");
    EXPECT_EQ(1603, Run(Place(L"SimQctRemover", L"UninstallMSI.exe")));
    EXPECT_EQ(installed, Snapshot());
}

TEST_F(StandInTest, ScriptedCrashIsARealAccessViolationThatChangesNothing)
{
    std::wstring before = Snapshot();
    m_standIns.Script(L"driver_setup", L"outcome", L"crash");
    m_standIns.Script(L"kit_setup", L"outcome", L"crash");
    EXPECT_EQ(static_cast<int>(EXCEPTION_ACCESS_VIOLATION), Run(Place(L"SimDriverSetup", L"DriverSetup.exe")));
    EXPECT_EQ(static_cast<int>(EXCEPTION_ACCESS_VIOLATION), Run(Place(L"SimKitSetup", L"InternetKitSetup.exe")));
    EXPECT_EQ(before, Snapshot());
    // The crash ends the program: it logs no exit.
    EXPECT_EQ((std::vector<std::wstring>{L"start", L"crashing access violation, as scripted"}),
              m_standIns.ActionsOf(L"DriverSetup.exe"));
}

TEST_F(StandInTest, SetupThatCannotWriteAFileUndoesWhatItMade)
{
    // A folder where the modem driver file must go.
    std::wstring package = ProgramFilesFolder() + L"Norvo Electronics\\Norvo USB Modem Drivers\\";
    m_files.MakeFolder(package + L"norvousbmodem.sys");
    std::wstring before = Snapshot();

    EXPECT_EQ(1603, Run(Place(L"SimDriverSetup", L"DriverSetup.exe")));
    EXPECT_EQ(before, Snapshot());
    std::vector<std::wstring> actions = m_standIns.ActionsOf(L"DriverSetup.exe");
    ASSERT_EQ(3u, actions.size());
    EXPECT_EQ(0u, actions[1].find(L"failed cannot write ")) << actions[1];
}

TEST_F(StandInTest, HeldSetupGoesOnOnlyOnceTheFileAppears)
{
    // Held before its work, a setup has installed nothing yet; held before its exit, it has.
    struct Hold {
        const wchar_t* role;
        const wchar_t* key;
        const wchar_t* standIn;
        const wchar_t* name;
        const wchar_t* productCode;
        bool installedWhileHeld;
    };
    const Hold holds[] = {
        {L"driver_setup", L"wait_for_file", L"SimDriverSetup", L"DriverSetup.exe", kQctDriversCode, false},
        {L"kit_setup", L"exit_wait_for_file", L"SimKitSetup", L"InternetKitSetup.exe", kNorvoKitCode, true}};
    for (const Hold& hold : holds) {
        SCOPED_TRACE(hold.key);
        ScopedFile release(m_folder.File(L"release"));
        ChildProcess setup = StartHeld(hold.role, hold.key, hold.standIn, hold.name, release.Path());
        std::wstring entry = UninstallKeyPath(hold.productCode, false);
        EXPECT_EQ(hold.installedWhileHeld, ScopedRegistry::KeyExists(kHklm, entry));
        WriteBinaryFile(release.Path(), "go");
        EXPECT_EQ(0, setup.Wait(60000));
        EXPECT_TRUE(ScopedRegistry::KeyExists(kHklm, entry));
        std::vector<std::wstring> actions = m_standIns.ActionsOf(hold.name);
        ASSERT_EQ(4u, actions.size());
        EXPECT_EQ(L"exit 0", actions[3]);
    }
    EXPECT_EQ(L"waiting " + m_folder.File(L"release"), m_standIns.ActionsOf(L"InternetKitSetup.exe")[2]);
}

TEST_F(StandInTest, HeldSetupGivesUpAtItsBoundWithoutInstalling)
{
    std::wstring before = Snapshot();
    m_standIns.Script(L"driver_setup", L"wait_for_file", m_folder.File(L"never"));
    m_standIns.Script(L"driver_setup", L"wait_limit_ms", L"50");
    EXPECT_EQ(1460, Run(Place(L"SimDriverSetup", L"DriverSetup.exe")));
    EXPECT_EQ(before, Snapshot());
    std::vector<std::wstring> actions = m_standIns.ActionsOf(L"DriverSetup.exe");
    ASSERT_EQ(4u, actions.size());
    EXPECT_EQ(L"timed-out " + m_folder.File(L"never"), actions[2]);
}

TEST_F(StandInTest, DelayEndsEarlyOnlyOnceItsOwnProcessFileAppears)
{
    // A delay far longer than the test's waits: only the release file can end it in time.
    const std::wstring stem = m_folder.File(L"shown");
    m_standIns.Script(L"driver_setup", L"delay_ms", L"600000");
    m_standIns.Script(L"driver_setup", L"delay_release", stem);
    ChildProcess setup = Start(Place(L"SimDriverSetup", L"DriverSetup.exe"));
    ASSERT_TRUE(m_standIns.WaitForAction(L"DriverSetup.exe", L"holding"));
    const std::wstring own = stem + L"-" + std::to_wstring(setup.ProcessId());
    EXPECT_EQ(L"holding " + own, m_standIns.ActionsOf(L"DriverSetup.exe")[1]);

    // Another process's file does not end this one's delay.
    ScopedFile other(stem + L"-" + std::to_wstring(setup.ProcessId() + 4));
    WriteBinaryFile(other.Path(), "");
    EXPECT_EQ(-1, setup.Wait(300));
    EXPECT_FALSE(ScopedRegistry::KeyExists(kHklm, UninstallKeyPath(kQctDriversCode, false)));

    ScopedFile release(own);
    WriteBinaryFile(release.Path(), "");
    EXPECT_EQ(0, setup.Wait(60000));
    EXPECT_TRUE(ScopedRegistry::KeyExists(kHklm, UninstallKeyPath(kQctDriversCode, false)));

    // Without its file the delay runs its whole length, then the setup acts.
    ScopedFile kitRelease(m_folder.File(L"kit-shown"));
    m_standIns.Script(L"kit_setup", L"delay_ms", L"50");
    m_standIns.Script(L"kit_setup", L"delay_release", kitRelease.Path());
    EXPECT_EQ(0, Run(Place(L"SimKitSetup", L"InternetKitSetup.exe")));
    EXPECT_EQ(L"installed", m_standIns.ActionsOf(L"InternetKitSetup.exe")[2].substr(0, 9));
}

// A setup that does not wait for its installer: the process started ends at once, having
// installed nothing; its copy (and the copy's copy) does the work afterwards.
TEST_F(StandInTest, DetachingSetupEndsAtOnceAndLeavesTheWorkToItsCopies)
{
    std::wstring before = Snapshot();
    ScopedFile release(m_folder.File(L"release"));
    m_standIns.Script(L"driver_setup", L"detach", L"2");
    m_standIns.Script(L"driver_setup", L"wait_for_file", release.Path());
    m_standIns.Script(L"driver_setup", L"outcome", L"install");
    EXPECT_EQ(0, Run(Place(L"SimDriverSetup", L"DriverSetup.exe")));
    ASSERT_TRUE(m_standIns.WaitForAction(L"DriverSetup.exe", L"waiting"));
    EXPECT_EQ(before, Snapshot()) << "nothing is installed when the setup itself has ended";
    WriteBinaryFile(release.Path(), "go");
    ASSERT_TRUE(m_standIns.WaitForAction(L"DriverSetup.exe", L"installed"));
    // The setup and its first copy have ended long since: the exit awaited is the installer's.
    ASSERT_TRUE(m_standIns.WaitForAction(L"DriverSetup.exe", L"exit", 30000, 3));
    EXPECT_TRUE(ScopedRegistry::KeyExists(kHklm, UninstallKeyPath(kQctDriversCode, false)));

    // Three processes, each logging its own course; the last is the installer.
    std::map<unsigned long, std::vector<std::wstring>> byProcess;
    std::map<unsigned long, std::wstring> commands;
    for (const sim::ProgramAction& action : m_standIns.Actions()) {
        byProcess[action.pid].push_back(action.action + L" " + action.detail);
        commands[action.pid] = action.command;
    }
    ASSERT_EQ(3u, byProcess.size());
    std::vector<std::vector<std::wstring>> courses;
    for (const auto& [pid, course] : byProcess) {
        std::vector<std::wstring> actions = course;
        if (actions.size() > 1 && actions[1].compare(0, 9, L"detached ") == 0)
            actions[1] = actions[1].substr(0, actions[1].find(L" pid "));
        courses.push_back(actions);
        if (commands[pid].find(L"/detached") == std::wstring::npos) {
            EXPECT_EQ((std::vector<std::wstring>{L"start ", L"detached level 1", L"exit 0"}), actions);
        }
    }
    std::sort(courses.begin(), courses.end());
    EXPECT_EQ((std::vector<std::vector<std::wstring>>{
                  {L"start ", L"detached level 1", L"exit 0"},
                  {L"start ", L"detached level 2", L"exit 0"},
                  {L"start ", L"waiting " + release.Path(), L"installed QCT 1.0.0.0", L"exit 0"}}),
              courses);

    // A remover does the same.
    std::wstring remover = Place(L"SimQctRemover", L"UninstallMSI.exe");
    m_standIns.Script(L"qct_remover", L"detach", L"1");
    EXPECT_EQ(0, Run(remover));
    ASSERT_TRUE(m_standIns.WaitForAction(L"UninstallMSI.exe", L"removed"));
    std::vector<std::wstring> removal = m_standIns.ActionsOf(L"UninstallMSI.exe");
    EXPECT_EQ(1, std::count(removal.begin(), removal.end(), L"removed QCT"));
    EXPECT_EQ(2, std::count(removal.begin(), removal.end(), L"start"));
    EXPECT_FALSE(ScopedRegistry::KeyExists(kHklm, UninstallKeyPath(kQctDriversCode, false)));
}

TEST_F(StandInTest, KitSetupRegistersEachKitTypeAndPlacesARunnableProgram)
{
    std::wstring setup = Place(L"SimKitSetup", L"InternetKitSetup.exe");
    m_standIns.Script(L"kit_setup", L"version", L"4.3.2.1");
    m_standIns.Script(L"kit_setup", L"run_file", L"Launcher.exe");
    std::wstring programFiles = ProgramFilesFolder();
    struct Expected {
        const wchar_t* type;
        std::wstring program;
    };
    const Expected kits[] = {{L"0", programFiles + L"Vodafone\\Via The Phone\\Launcher.exe"},
                             {L"1", programFiles + L"NorvoInternetKit\\Launcher.exe"},
                             {L"2", programFiles + L"Norvo Electronics\\Norvo PC Suite III\\Norvo_PCSuiteIII.exe"},
                             {L"3", programFiles + L"K-21C Connection Manager\\Launcher.exe"}};
    for (const Expected& kit : kits) {
        SCOPED_TRACE(kit.type);
        m_standIns.Script(L"kit_setup", L"kit_type", kit.type);
        ASSERT_EQ(0, Run(setup));
        EXPECT_EQ(L"4.3.2.1", FixedFileVersion(kit.program));
        ASSERT_EQ(0, Run(kit.program, L"-aik"));
        sim::ProgramAction last = m_standIns.Actions().back();
        std::wstring name = kit.program.substr(kit.program.rfind(L'\\') + 1);
        EXPECT_EQ(name, last.program);
        EXPECT_EQ(L"\"" + kit.program + L"\" -aik", last.command);
    }
    EXPECT_EQ(L"4.3.2.1", Uninstall(kVtpKitCode, L"DisplayVersion"));
    EXPECT_EQ(L"4.3.2.1", Uninstall(kNorvoKitCode, L"DisplayVersion"));
    EXPECT_EQ(L"4.3.2.1", FixedFileVersion(programFiles + L"NorvoInternetKit\\NorvoInternetKit.exe"));
    EXPECT_EQ(kits[2].program, ReadRegistryString(HKEY_CURRENT_USER, kPcSuiteKey, L"InstallPath"));
    EXPECT_EQ(programFiles + L"K-21C Connection Manager",
              ReadRegistryString(HKEY_CURRENT_USER, kConnectionManagerKey, L"CM_Install_path"));
}

TEST_F(StandInTest, KitProgramStaysRunningUntilReleased)
{
    ScopedFile release(m_folder.File(L"release"));
    m_standIns.Script(L"kit_program", L"wait_for_file", release.Path());
    ChildProcess program = Start(Place(L"SimKitProgram", L"Norvo_PCSuiteIII.exe"));
    ASSERT_TRUE(m_standIns.WaitForAction(L"Norvo_PCSuiteIII.exe", L"waiting"));
    EXPECT_TRUE(ProcessRuns(program));
    WriteBinaryFile(release.Path(), "go");
    EXPECT_EQ(0, program.Wait(60000));
}

TEST_F(StandInTest, ValuesComeFromTheProgramSectionThenTheRoleThenTheDeviceProfile)
{
    WriteBinaryFile(m_folder.File(L"config.ini"),
                    "[DRIVER]\r\ndriver_type=EMP\r\ndriver_version=3.0.0.7\r\n"
                    "[ITK]\r\nitk_type=3\r\nitk_version=2.2.2.2\r\nitk_run_file=CM.exe\r\n");
    std::wstring driverSetup = Place(L"SimDriverSetup", L"DriverSetup.exe");
    std::wstring kitSetup = Place(L"SimKitSetup", L"CMSetup.exe");
    std::wstring remover = Place(L"SimEmpRemover", L"EmpUninstall.exe");
    ASSERT_EQ(0, Run(driverSetup));
    ASSERT_EQ(0, Run(kitSetup));
    EXPECT_EQ(L"installed kit 3 2.2.2.2", m_standIns.ActionsOf(L"CMSetup.exe")[1]);
    EXPECT_TRUE(PathExists(ProgramFilesFolder() + L"K-21C Connection Manager\\CM.exe"));

    m_standIns.Script(L"driver_setup", L"version", L"1.0.0.1");
    ASSERT_EQ(0, Run(driverSetup));
    m_standIns.Script(L"DriverSetup.exe", L"version", L"1.0.0.2");
    ASSERT_EQ(0, Run(driverSetup));
    EXPECT_EQ(
        (std::vector<std::wstring>{L"start", L"installed EMP 3.0.0.7", L"exit 0", L"start", L"installed EMP 1.0.0.1",
                                   L"exit 0", L"start", L"installed EMP 1.0.0.2", L"exit 0"}),
        m_standIns.ActionsOf(L"DriverSetup.exe"));
    EXPECT_EQ(0, Run(remover));
}

TEST_F(StandInTest, ScriptsThatCannotBeCarriedOutAreRefusedWithoutChanges)
{
    std::wstring before = Snapshot();
    std::wstring driverSetup = Place(L"SimDriverSetup", L"DriverSetup.exe");
    std::wstring kitSetup = Place(L"SimKitSetup", L"InternetKitSetup.exe");
    const std::pair<const wchar_t*, const wchar_t*> driverScripts[] = {
        {L"family", L"WWAN"},   {L"version", L"2.1.x"}, {L"version", L"70000.1"}, {L"edition", L"new"},
        {L"outcome", L"maybe"}, {L"detach", L"4"},      {L"detach", L"one"}};
    for (const auto& [key, value] : driverScripts) {
        SCOPED_TRACE(key);
        m_standIns.ClearScript();
        m_standIns.Script(L"driver_setup", key, value);
        EXPECT_EQ(87, Run(driverSetup));
    }
    for (const wchar_t* runFile : {L"..\\..\\Windows\\evil.exe", L"C:\\evil.exe"}) {
        m_standIns.ClearScript();
        m_standIns.Script(L"kit_setup", L"run_file", runFile);
        EXPECT_EQ(87, Run(kitSetup));
    }
    EXPECT_EQ(before, Snapshot());
    std::vector<std::wstring> actions = m_standIns.ActionsOf(L"DriverSetup.exe");
    ASSERT_EQ(21u, actions.size());
    EXPECT_EQ(L"failed script: family \"WWAN\" is none of QCT, EMP, FOMA_K21C", actions[1]);
}

// Pure parts of the stand-ins.

TEST(StandInParts, FileVersionsAreOneToFourNumbersUpTo65535)
{
    sim::FileVersion version{};
    ASSERT_TRUE(sim::ParseFileVersion(L"2.1.0.4", &version));
    EXPECT_EQ((sim::FileVersion{2, 1, 0, 4}), version);
    ASSERT_TRUE(sim::ParseFileVersion(L"7", &version));
    EXPECT_EQ(L"7.0.0.0", sim::FileVersionText(version));
    ASSERT_TRUE(sim::ParseFileVersion(L"65535.0.1.65535", &version));
    EXPECT_EQ(L"65535.0.1.65535", sim::FileVersionText(version));
    for (const wchar_t* bad :
         {L"", L".", L"1.", L".1", L"1..2", L"1.2.3.4.5", L"65536", L"000001", L"1.-2", L" 1", L"1.2 beta"})
        EXPECT_FALSE(sim::ParseFileVersion(bad, &version)) << bad;
}

TEST(StandInParts, StampingNeedsAWellFormedVersionResource)
{
    std::wstring self = ThisExecutable();
    std::string model = ReadBinaryFile(self.substr(0, self.rfind(L'\\') + 1) + L"SimDriverFile.dll");
    ASSERT_FALSE(model.empty());
    std::string stamped = model;
    ASSERT_TRUE(sim::StampFileVersion(&stamped, {9, 8, 7, 6}));
    EXPECT_EQ(model.size(), stamped.size());
    EXPECT_NE(model, stamped);

    std::string noResource(4096, '\0');
    EXPECT_FALSE(sim::StampFileVersion(&noResource, {1, 0, 0, 0}));
    // Cut inside the version resource: the resource no longer fits and nothing is changed.
    size_t signature = model.find(std::string("\xBD\x04\xEF\xFE", 4));
    ASSERT_NE(std::string::npos, signature);
    std::string cut = model.substr(0, signature + 60);
    std::string cutBefore = cut;
    EXPECT_FALSE(sim::StampFileVersion(&cut, {1, 0, 0, 0}));
    EXPECT_EQ(cutBefore, cut);
}

TEST(StandInParts, LogAndRecordLinesKeepTheirFields)
{
    sim::ProgramAction action;
    action.program = L"DriverSetup.exe";
    action.pid = 42;
    action.action = L"installed";
    action.detail = L"QCT\t2.1";
    action.command = L"\"C:\\a b\\DriverSetup.exe\" x=1\ty";
    sim::ProgramAction parsed;
    ASSERT_TRUE(sim::ParseProgramAction(sim::FormatProgramAction(action), &parsed));
    EXPECT_EQ(42ul, parsed.pid);
    EXPECT_EQ(L"QCT 2.1", parsed.detail);
    EXPECT_EQ(L"\"C:\\a b\\DriverSetup.exe\" x=1 y", parsed.command);
    EXPECT_FALSE(sim::ParseProgramAction(L"pid=1\taction=start", &parsed));

    sim::RecordEntry entry;
    ASSERT_TRUE(sim::ParseRecordEntry(L"key\tHKCU\tSOFTWARE\\K-21C-ConnectionManager", &entry));
    EXPECT_EQ(HKEY_CURRENT_USER, entry.root);
    EXPECT_EQ(L"key\tHKCU\tSOFTWARE\\K-21C-ConnectionManager", sim::FormatRecordEntry(entry));
    for (const wchar_t* bad : {L"key\tHKCR\tSOFTWARE", L"key\tHKLM", L"folder\t", L"file\tC:\\x", L""})
        EXPECT_FALSE(sim::ParseRecordEntry(bad, &entry)) << bad;
}
