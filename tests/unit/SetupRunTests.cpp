// InstallDriver and InstallITK with the stand-ins for the maker's setups and removers started
// for real from the test's folder: what is started, hidden or shown, in which order, that each
// is waited for until it has ended, and that configured names outside the folder start nothing.
#include "CoreTestSupport.h"

#include "common/StandIns.h"

#include <algorithm>
#include <atomic>
#include <thread>

using namespace plugtest;

namespace {

class SetupRunTest : public CoreTest {
protected:
    SetupRunTest()
    {
        m_run.m_ResDefineCommand.strDrvSetupFilename = L"DriverSetup.exe";
        m_run.m_ResDefineCommand.strITKSetupFinename = L"InternetKitSetup.exe";
    }

    // A file that is not to be started, removed at the end.
    void PutDummy(const std::wstring& path)
    {
        m_placed.emplace_back(new ScopedFile(path));
        WriteBinaryFile(path, "MZ");
    }
    // What was started, as "<name relative to the program folder> hidden|shown".
    std::vector<std::wstring> Started() const
    {
        std::vector<std::wstring> started;
        for (const FakeRunHost::Start& start : m_host.starts) {
            std::wstring name = start.program;
            if (name.compare(0, ProgramFolder().size(), ProgramFolder()) == 0)
                name = name.substr(ProgramFolder().size());
            started.push_back(name + (start.showCommand == SW_HIDE         ? L" hidden"
                                      : start.showCommand == SW_SHOWNORMAL ? L" shown"
                                                                           : L" other"));
        }
        return started;
    }
    void Driver(const std::wstring& type, const std::wstring& autoUninstall, const std::wstring& empRemover = L"")
    {
        WriteConfig({{L"DRIVER",
                      {{L"driver_type", type},
                       {L"driver_autouninstall", autoUninstall},
                       {L"emp_uninstall_linkfile", empRemover}}}});
        m_run.m_ResDefineCommand.nDriverType = type == L"EMP" ? DRIVERTYPE_EMP : DRIVERTYPE_QCT;
    }
    // A driver setup whose installer outlives it until the test writes release.
    void DetachedDriverSetupHeldUntil(const std::wstring& release);
    // True when a handle of this process refers to a process that program ran as.
    bool IsProcessObjectKept(const std::wstring& program) const
    {
        for (const sim::ProgramAction& action : m_standIns.Actions()) {
            if (action.program == program && action.action == L"exit" && HoldsProcessHandle(action.pid))
                return true;
        }
        return false;
    }
    // Handle values are small multiples of four: each is asked which process it refers to.
    static bool HoldsProcessHandle(DWORD processId)
    {
        for (ULONG_PTR value = 4; value < 0x8000; value += 4) {
            if (::GetProcessId(reinterpret_cast<HANDLE>(value)) == processId)
                return true;
        }
        return false;
    }

    ScopedStandIns m_standIns;
};

} // namespace

TEST_F(SetupRunTest, DriverSetupRunsShownIsWaitedForAndItsResultIsWhatIsInstalled)
{
    Place(L"SimDriverSetup", L"DriverSetup.exe");
    m_standIns.Script(L"driver_setup", L"outcome", L"fail");
    EXPECT_FALSE(m_core.InstallDriver());
    m_standIns.Script(L"driver_setup", L"outcome", L"install");
    m_standIns.Script(L"driver_setup", L"version", L"2.1.0.4");
    m_host.starts.clear();
    m_host.waits.clear();
    m_host.descendantWaits.clear();
    EXPECT_TRUE(m_core.InstallDriver());
    EXPECT_FALSE(IsProcessObjectKept(L"DriverSetup.exe")) << "a process handle of the setup is still open";
    EXPECT_EQ(std::vector<std::wstring>{L"DriverSetup.exe shown"}, Started());
    EXPECT_EQ(std::vector<DWORD>{INFINITE}, m_host.waits);
    EXPECT_EQ(std::vector<DWORD>{kRemoverWaitMs}, m_host.descendantWaits) << "the same bound as a remover's";
    EXPECT_FALSE(m_host.Traced(L"[WaitForProgram()]")) << "a setup that starts nothing has no more to wait for";
    // Waited for: it had ended when the installation was judged.
    EXPECT_EQ((std::vector<std::wstring>{L"start", L"failed as scripted", L"exit 1603", L"start",
                                         L"installed QCT 2.1.0.4", L"exit 0"}),
              m_standIns.ActionsOf(L"DriverSetup.exe"));
    EXPECT_FALSE(m_run.m_bInstallingDrv);
    EXPECT_EQ(2, m_host.bringsToFront);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(SetupRunTest, SetupThatLingersIsWaitedForUntilItEndsWhateverInputArrives)
{
    Place(L"SimDriverSetup", L"DriverSetup.exe");
    TempDir folder;
    std::wstring release = folder.File(L"release");
    m_standIns.Script(L"driver_setup", L"wait_for_file", release);
    std::atomic<DWORD> workerId{0};
    std::atomic<int> result{-1};
    std::thread worker([&] {
        workerId = ::GetCurrentThreadId();
        result = m_core.InstallDriver();
    });
    ASSERT_TRUE(m_standIns.WaitForAction(L"DriverSetup.exe", L"waiting"));
    // Keyboard and mouse input for the waiting thread (it owns no window).
    for (UINT message : {WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}) {
        bool posted = false;
        for (int attempt = 0; attempt < 500 && !posted; ++attempt) {
            posted = ::PostThreadMessageW(workerId, message, VK_RETURN, 0) != FALSE;
            if (!posted)
                ::Sleep(10); // the thread's queue comes with its first wait
        }
        EXPECT_TRUE(posted) << message;
    }
    ::Sleep(500);
    EXPECT_EQ(-1, result) << "the wait ended before the setup did";
    EXPECT_TRUE(m_run.m_bInstallingDrv);

    WriteBinaryFile(release, "go");
    worker.join();
    EXPECT_EQ(TRUE, result);
    EXPECT_EQ((std::vector<std::wstring>{L"start", L"waiting " + release, L"installed QCT 1.0.0.0", L"exit 0"}),
              m_standIns.ActionsOf(L"DriverSetup.exe"));
    EXPECT_FALSE(m_run.m_bInstallingDrv);
}

TEST_F(SetupRunTest, OldQctPackageIsRemovedFirstUnlessTheSetupIsToldToDoItItself)
{
    // An old package, installed by the setup of an older CD.
    Place(L"SimDriverSetup", L"DriverSetup.exe");
    Place(L"SimQctRemover", L"UninstallMSI.exe");
    m_standIns.Script(L"driver_setup", L"version", L"1.0.0.0");
    ASSERT_TRUE(m_core.InstallDriver());
    m_host.starts.clear();
    m_standIns.Script(L"driver_setup", L"version", L"2.0.0.0");
    WriteConfig({{L"DRIVER", {{L"driver_version", L"2.0.0.0"}, {L"driver_autouninstall", L"01"}}}});
    ASSERT_TRUE(m_core.Detect().IsRequireUpDrv(DRIVERTYPE_QCT));
    ASSERT_TRUE(m_run.m_bDrvPackageRegistered);

    EXPECT_TRUE(m_core.InstallDriver());
    EXPECT_EQ((std::vector<std::wstring>{L"UninstallMSI.exe hidden", L"DriverSetup.exe shown"}), Started());
    std::vector<std::wstring> order;
    for (const sim::ProgramAction& action : m_standIns.Actions())
        order.push_back(action.program + L" " + action.action);
    EXPECT_EQ(
        (std::vector<std::wstring>{L"DriverSetup.exe start", L"DriverSetup.exe installed", L"DriverSetup.exe exit",
                                   L"UninstallMSI.exe start", L"UninstallMSI.exe removed", L"UninstallMSI.exe exit",
                                   L"DriverSetup.exe start", L"DriverSetup.exe installed", L"DriverSetup.exe exit"}),
        order);
    EXPECT_EQ(L"installed QCT 2.0.0.0", m_standIns.ActionsOf(L"DriverSetup.exe").at(4));
    EXPECT_FALSE(IsProcessObjectKept(L"UninstallMSI.exe"));
    EXPECT_FALSE(IsProcessObjectKept(L"DriverSetup.exe"));
}

TEST_F(SetupRunTest, OnlyTheText1LeavesTheOldPackageToTheSetup)
{
    m_host.startForReal = false;
    PutDummy(ProgramFolder() + L"DriverSetup.exe");
    for (const wchar_t* value : {L"01", L"true", L""}) {
        SCOPED_TRACE(value);
        m_host.starts.clear();
        Driver(L"QCT", value);
        m_run.m_bDrvPackageRegistered = TRUE;
        m_core.InstallDriver();
        EXPECT_EQ((std::vector<std::wstring>{L"UninstallMSI.exe hidden", L"DriverSetup.exe shown"}), Started());
    }
    m_host.starts.clear();
    Driver(L"QCT", L"1");
    m_run.m_bDrvPackageRegistered = TRUE;
    m_core.InstallDriver();
    EXPECT_EQ(std::vector<std::wstring>{L"DriverSetup.exe shown"}, Started());
    EXPECT_FALSE(m_run.m_bDrvPackageRegistered);

    // The EMP remover still runs then.
    m_host.starts.clear();
    Driver(L"EMP", L"1", L"EmpUninstall.exe");
    m_run.m_bDrvPackageRegistered = TRUE;
    m_core.InstallDriver();
    EXPECT_EQ((std::vector<std::wstring>{L"EmpUninstall.exe hidden", L"DriverSetup.exe shown"}), Started());
}

TEST_F(SetupRunTest, EmpRemoverRunsBeforeTheSetupEvenOnACleanMachine)
{
    Place(L"SimDriverSetup", L"DriverSetup.exe");
    Place(L"SimEmpRemover", L"EmpUninstall.exe");
    Driver(L"EMP", L"", L"EmpUninstall.exe");
    m_standIns.Script(L"driver_setup", L"family", L"EMP");
    m_standIns.Script(L"driver_setup", L"version", L"3.0.0.7");
    EXPECT_TRUE(m_core.InstallDriver());
    EXPECT_EQ((std::vector<std::wstring>{L"EmpUninstall.exe hidden", L"DriverSetup.exe shown"}), Started());
    EXPECT_EQ((std::vector<std::wstring>{L"start", L"removed EMP (nothing was installed)", L"exit 0"}),
              m_standIns.ActionsOf(L"EmpUninstall.exe"));
    EXPECT_EQ(L"installed EMP 3.0.0.7", m_standIns.ActionsOf(L"DriverSetup.exe").at(1));
}

TEST_F(SetupRunTest, EmpWithoutARemoverNamedStartsOnlyTheSetup)
{
    m_host.startForReal = false;
    PutDummy(ProgramFolder() + L"DriverSetup.exe");
    Driver(L"EMP", L"", L"");
    int repaints = m_host.statusRepaints;
    m_core.InstallDriver();
    EXPECT_EQ(std::vector<std::wstring>{L"DriverSetup.exe shown"}, Started());
    EXPECT_GE(m_host.statusRepaints, repaints + 2) << "the installation is shown, then cleared";
}

// The driver's installation (and the refusal of Cancel) begins once a remover has started, or
// with the setup when nothing is removed; until then a Cancel is still taken.
TEST_F(SetupRunTest, InstallingFlagRisesAfterTheRemoverStartsAndBeforeItsWait)
{
    m_host.startForReal = false;
    PutDummy(ProgramFolder() + L"DriverSetup.exe");
    std::vector<std::wstring> seen; // the flag as each start and each wait found it
    m_host.onStart = [&](const FakeRunHost::Start& start) {
        std::wstring name = start.program.substr(start.program.rfind(L'\\') + 1);
        seen.push_back(L"start " + name + (m_run.m_bInstallingDrv ? L" raised" : L" lowered"));
    };
    m_host.onWait = [&] { seen.push_back(m_run.m_bInstallingDrv ? L"wait raised" : L"wait lowered"); };
    struct Case {
        const wchar_t* family;
        BOOL packageRegistered;
        std::vector<std::wstring> expected;
    };
    // clang-format off
    const Case cases[] = {
        {L"QCT", TRUE,
         {L"start UninstallMSI.exe lowered", L"wait raised", L"start DriverSetup.exe raised", L"wait raised"}},
        {L"EMP", FALSE,
         {L"start EmpUninstall.exe lowered", L"wait raised", L"start DriverSetup.exe raised", L"wait raised"}},
        {L"QCT", FALSE, {L"start DriverSetup.exe raised", L"wait raised"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(std::wstring(c.family) + (c.packageRegistered ? L" with the old package" : L""));
        seen.clear();
        Driver(c.family, L"", L"EmpUninstall.exe");
        m_run.m_bDrvPackageRegistered = c.packageRegistered;
        m_core.InstallDriver();
        EXPECT_EQ(c.expected, seen);
        EXPECT_FALSE(m_run.m_bInstallingDrv);
    }
}

// RunAndWait answers what became of the program: one that did not start is told from one that
// ran to its end and from one still running when its bound was up.
TEST_F(SetupRunTest, RunAndWaitTellsAProgramThatDidNotStartFromOneThatRan)
{
    using Run = CPlugstartRun::ProgramRun;
    SharedFlag status{FALSE};
    EXPECT_EQ(Run::NotStarted, m_core.RunAndWait(ProgramFolder() + L"NoSuchRemover.exe", SW_HIDE, status, 60000));
    EXPECT_TRUE(status) << "raised once the start was tried";

    Place(L"SimQctRemover", L"UninstallMSI.exe");
    TempDir folder;
    const std::wstring release = folder.File(L"release");
    m_standIns.Script(L"qct_remover", L"wait_for_file", release);
    m_standIns.Script(L"qct_remover", L"wait_limit_ms", L"600000");
    status = FALSE;
    EXPECT_EQ(Run::StillRunning, m_core.RunAndWait(ProgramFolder() + L"UninstallMSI.exe", SW_HIDE, status, 200));
    EXPECT_TRUE(status);
    WriteBinaryFile(release, "go");
    ASSERT_TRUE(m_standIns.WaitForAction(L"UninstallMSI.exe", L"exit"));

    m_standIns.ClearScript();
    EXPECT_EQ(Run::Ended, m_core.RunAndWait(ProgramFolder() + L"UninstallMSI.exe", SW_HIDE, status, 60000));
}

// A remover that is not there does not start: that is traced, and the setup runs after it.
TEST_F(SetupRunTest, RemoverThatDoesNotStartIsPassedOverAndTheSetupRuns)
{
    Place(L"SimDriverSetup", L"DriverSetup.exe");
    Driver(L"QCT", L"");
    m_run.m_bDrvPackageRegistered = TRUE; // its remover, UninstallMSI.exe, is not in the folder
    EXPECT_TRUE(m_core.InstallDriver());
    EXPECT_EQ((std::vector<std::wstring>{L"UninstallMSI.exe hidden", L"DriverSetup.exe shown"}), Started());
    EXPECT_TRUE(m_host.Traced(L"remover did not start : " + ProgramFolder() + L"UninstallMSI.exe"));
    EXPECT_FALSE(m_host.Traced(L"did not end in time"));
    EXPECT_EQ(L"exit 0", m_standIns.ActionsOf(L"DriverSetup.exe").back());
    EXPECT_FALSE(m_run.m_bInstallingDrv);
}

TEST_F(SetupRunTest, MissingOrUnnamedSetupStartsNothing)
{
    m_host.startForReal = false;
    m_run.m_ResDefineCommand.strDrvSetupFilename = L"NoSuchSetup.exe";
    EXPECT_FALSE(m_core.InstallDriver());
    m_install.InstallQctDriver(L"1.0.0.0");
    EXPECT_TRUE(m_core.InstallDriver()) << "the result is what is installed";
    EXPECT_TRUE(m_host.starts.empty());
    EXPECT_TRUE(Boxes().empty());
    m_run.m_ResDefineCommand.strDrvSetupFilename.clear();
    m_run.m_ResDefineCommand.strITKSetupFinename.clear();
    EXPECT_FALSE(m_core.InstallDriver());
    EXPECT_FALSE(m_core.InstallITK());
    EXPECT_TRUE(m_host.starts.empty());
    EXPECT_EQ(
        (std::vector<std::wstring>{L"STR_STRING_ERROR_DRV_SETUP_NAME_EMPTY", L"STR_STRING_ERROR_ITK_FILENAME_EMPTY"}),
        Boxes());
}

TEST_F(SetupRunTest, ConfiguredNamesOutsideTheProgramFolderAreNeverStarted)
{
    m_host.startForReal = false;
    std::wstring parent = ProgramFolder().substr(0, ProgramFolder().rfind(L'\\', ProgramFolder().size() - 2) + 1);
    PutDummy(ProgramFolder() + L"DriverSetup.exe");
    PutDummy(parent + L"DriverSetup.exe");
    const std::wstring hostile[] = {ProgramFolder() + L"DriverSetup.exe",
                                    L"..\\DriverSetup.exe",
                                    L"\\DriverSetup.exe",
                                    L"/DriverSetup.exe",
                                    L"Z:DriverSetup.exe",
                                    L"sub\\..\\..\\DriverSetup.exe",
                                    L".. \\DriverSetup.exe",
                                    L"DriverSetup.exe:stream"};
    Driver(L"EMP", L"");
    for (const std::wstring& name : hostile) {
        SCOPED_TRACE(name);
        m_host.starts.clear();
        m_run.m_ResDefineCommand.strDrvSetupFilename = name;
        m_run.m_ResDefineCommand.strITKSetupFinename = name;
        m_core.InstallDriver();
        EXPECT_FALSE(m_core.InstallITK());
        EXPECT_TRUE(Started().empty());
        // As the EMP remover: only the setup starts.
        Driver(L"EMP", L"", name);
        m_run.m_ResDefineCommand.strDrvSetupFilename = L"DriverSetup.exe";
        m_core.InstallDriver();
        EXPECT_EQ(std::vector<std::wstring>{L"DriverSetup.exe shown"}, Started());
    }
}

TEST_F(SetupRunTest, KitSetupRunsShownIsWaitedForAndItsResultIsWhatIsInstalled)
{
    Place(L"SimKitSetup", L"InternetKitSetup.exe");
    m_run.m_ResDefineCommand.nITKType = ITKTYPE_NorvoITK;
    m_standIns.Script(L"kit_setup", L"kit_type", L"1");
    m_standIns.Script(L"kit_setup", L"run_file", L"NorvoKit.exe");
    EXPECT_TRUE(m_core.InstallITK());
    EXPECT_FALSE(IsProcessObjectKept(L"InternetKitSetup.exe"));
    EXPECT_EQ(std::vector<std::wstring>{L"InternetKitSetup.exe shown"}, Started());
    EXPECT_EQ((std::vector<std::wstring>{L"start", L"installed kit 1 1.0.0.0", L"exit 0"}),
              m_standIns.ActionsOf(L"InternetKitSetup.exe"));
    EXPECT_FALSE(m_run.m_bInstallingITK);
    EXPECT_EQ(1, m_host.bringsToFront);

    // The kit's program is found where the kit put it.
    m_run.m_ResDefineCommand.strITKFilename = L"NorvoKit.exe";
    EXPECT_EQ(ProgramFilesFolder() + L"NorvoInternetKit\\NorvoKit.exe",
              m_core.Detect().CheckITKProgram(ITKTYPE_NorvoITK));
}

// A remover runs hidden while Cancel is refused: one stuck on a prompt nobody sees is given up
// on after its bound (ten minutes; here a fraction of a second), and the setup runs after it.
TEST_F(SetupRunTest, RemoverThatNeverEndsIsGivenUpOnAndTheSetupRunsAfterIt)
{
    struct Case {
        const wchar_t* remover;
        const wchar_t* standIn;
        const wchar_t* role;
        bool qctPackage; // else the EMP family, whose remover the configuration names
    };
    const Case cases[] = {{L"UninstallMSI.exe", L"SimQctRemover", L"qct_remover", true},
                          {L"EmpUninstall.exe", L"SimEmpRemover", L"emp_remover", false}};
    Place(L"SimDriverSetup", L"DriverSetup.exe");
    TempDir folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.remover);
        std::wstring release = folder.File(std::wstring(c.remover) + L".release");
        Place(c.standIn, c.remover);
        m_standIns.Script(c.role, L"wait_for_file", release); // never written while the setup runs
        m_standIns.Script(c.role, L"wait_limit_ms", L"600000");
        Driver(c.qctPackage ? L"QCT" : L"EMP", L"", c.qctPackage ? L"" : c.remover);
        m_standIns.Script(L"driver_setup", L"family", c.qctPackage ? L"QCT" : L"EMP");
        m_run.m_bDrvPackageRegistered = c.qctPackage ? TRUE : FALSE;
        m_core.m_dwRemoverWaitMs = 200; // stands for the ten minutes
        m_host.starts.clear();
        m_host.waits.clear();

        std::atomic<bool> done{false};
        std::atomic<int> result{-1};
        std::thread worker([&] {
            result = m_core.InstallDriver();
            done = true;
        });
        for (int waited = 0; waited < 600 && !done; ++waited)
            ::Sleep(100);
        bool boundHeld = done;
        WriteBinaryFile(release, "go"); // lets the remover end either way
        worker.join();
        ASSERT_TRUE(boundHeld) << "the wait for the remover has no bound";

        EXPECT_EQ(TRUE, result);
        EXPECT_EQ((std::vector<std::wstring>{std::wstring(c.remover) + L" hidden", L"DriverSetup.exe shown"}),
                  Started());
        EXPECT_EQ((std::vector<DWORD>{200, INFINITE}), m_host.waits) << "the setup itself is waited for until it ends";
        EXPECT_TRUE(m_host.Traced(std::wstring(L"did not end in time : ") + ProgramFolder() + c.remover));
        EXPECT_TRUE(m_standIns.WaitForAction(c.remover, L"exit"));
        // Their log in order: this setup's end comes before the remover's own.
        std::vector<std::wstring> log;
        for (const sim::ProgramAction& action : m_standIns.Actions())
            log.push_back(action.program + L" " + action.action.substr(0, action.action.find(L' ')));
        auto setupEnd = std::find(log.rbegin(), log.rend(), L"DriverSetup.exe exit").base();
        auto removerEnd = std::find(log.begin(), log.end(), std::wstring(c.remover) + L" exit");
        EXPECT_LT(setupEnd, removerEnd) << "the setup did not run while the remover was still there";
    }
}

// Many bootstrappers start the real installer and exit at once. The installation is judged only
// once every process the setup started (and they started) has ended: a driver setup whose copy
// installs a second later, a kit setup whose grandchild does, a remover whose copy removes.
TEST_F(SetupRunTest, SetupsAreJudgedOnlyWhenTheProcessesTheyStartedHaveEnded)
{
    Place(L"SimDriverSetup", L"DriverSetup.exe");
    Place(L"SimKitSetup", L"InternetKitSetup.exe");
    m_standIns.Script(L"driver_setup", L"detach", L"1");
    m_standIns.Script(L"driver_setup", L"delay_ms", L"1500");
    m_standIns.Script(L"driver_setup", L"version", L"2.1.0.4");
    m_run.m_ResDefineCommand.nITKType = ITKTYPE_NorvoITK;
    m_standIns.Script(L"kit_setup", L"kit_type", L"1");
    m_standIns.Script(L"kit_setup", L"detach", L"2");
    m_standIns.Script(L"kit_setup", L"delay_ms", L"1500");

    EXPECT_TRUE(m_core.InstallDriver());
    EXPECT_TRUE(m_core.InstallITK());
    EXPECT_TRUE(Boxes().empty());
    for (const wchar_t* setup : {L"DriverSetup.exe", L"InternetKitSetup.exe"}) {
        std::vector<std::wstring> actions = m_standIns.ActionsOf(setup);
        ASSERT_FALSE(actions.empty()) << setup;
        EXPECT_EQ(L"exit 0", actions.back()) << setup << ": the installer had ended when it was judged";
    }
    EXPECT_TRUE(m_host.Traced(L"DriverSetup.exe started 1 other process"));
    EXPECT_TRUE(m_host.Traced(L"InternetKitSetup.exe started 2 other processes"));
    EXPECT_FALSE(m_run.m_bInstallingDrv);
    EXPECT_FALSE(m_run.m_bInstallingITK);

    // The old package's remover hands its work over too: the new setup starts once it is done.
    m_host.starts.clear();
    Place(L"SimQctRemover", L"UninstallMSI.exe");
    m_standIns.Script(L"qct_remover", L"detach", L"1");
    m_standIns.Script(L"qct_remover", L"delay_ms", L"1000");
    m_standIns.Script(L"driver_setup", L"detach", L"0");
    m_standIns.Script(L"driver_setup", L"delay_ms", L"0");
    m_run.m_bDrvPackageRegistered = TRUE;
    EXPECT_TRUE(m_core.InstallDriver());
    EXPECT_EQ((std::vector<std::wstring>{L"UninstallMSI.exe hidden", L"DriverSetup.exe shown"}), Started());
    std::vector<std::wstring> order;
    for (const sim::ProgramAction& action : m_standIns.Actions()) {
        if (action.action == L"removed" || action.action == L"installed")
            order.push_back(action.program + L" " + action.action);
    }
    EXPECT_EQ((std::vector<std::wstring>{L"DriverSetup.exe installed", L"InternetKitSetup.exe installed",
                                         L"UninstallMSI.exe removed", L"DriverSetup.exe installed"}),
              order);
}

// An installer that lives on after its bootstrapper (held until the test writes release): waited
// for, with the driver's status shown (and Cancel refused), until it ends or the bound (ten
// minutes) has passed; then the driver is judged as it is.
void SetupRunTest::DetachedDriverSetupHeldUntil(const std::wstring& release)
{
    Place(L"SimDriverSetup", L"DriverSetup.exe");
    m_standIns.Script(L"driver_setup", L"detach", L"1");
    m_standIns.Script(L"driver_setup", L"wait_for_file", release);
    m_standIns.Script(L"driver_setup", L"wait_limit_ms", L"600000");
}

TEST_F(SetupRunTest, InstallerThatOutlivesItsBootstrapperIsWaitedForWithTheStatusShown)
{
    TempDir folder;
    std::wstring release = folder.File(L"release");
    DetachedDriverSetupHeldUntil(release);
    std::atomic<int> result{-1};
    std::thread worker([&] { result = m_core.InstallDriver(); });
    bool bootstrapperEnded = m_standIns.WaitForAction(L"DriverSetup.exe", L"waiting") &&
                             m_standIns.WaitForAction(L"DriverSetup.exe", L"exit");
    // Within the bound (the full ten minutes here) nothing but the installer's end ends the wait.
    EXPECT_EQ(-1, result) << "judged while its installer was still running";
    EXPECT_TRUE(m_run.m_bInstallingDrv);
    WriteBinaryFile(release, "go");
    worker.join();
    ASSERT_TRUE(bootstrapperEnded);
    EXPECT_EQ(TRUE, result);
    EXPECT_FALSE(m_run.m_bInstallingDrv);
    EXPECT_TRUE(m_host.Traced(L"DriverSetup.exe started 1 other process : all ended"));
}

TEST_F(SetupRunTest, InstallerThatOutlivesTheBoundIsGivenUpOnAndTheSetupJudgedWithoutIt)
{
    TempDir folder;
    std::wstring release = folder.File(L"release");
    DetachedDriverSetupHeldUntil(release);
    m_core.m_dwStartedProcessesWaitMs = 300; // the bound, here a fraction of a second
    std::atomic<bool> done{false};
    std::atomic<int> result{-1};
    std::thread worker([&] {
        result = m_core.InstallDriver();
        done = true;
    });
    for (int waited = 0; waited < 300 && !done; ++waited)
        ::Sleep(100);
    bool boundHeld = done;
    WriteBinaryFile(release, "go"); // lets the installer end either way
    worker.join();
    ASSERT_TRUE(boundHeld) << "the wait for the installer has no bound";
    EXPECT_EQ(FALSE, result);
    EXPECT_FALSE(m_run.m_bInstallingDrv);
    EXPECT_TRUE(m_host.Traced(L"DriverSetup.exe started 1 other process : still running"));
    EXPECT_EQ(std::vector<DWORD>{300}, m_host.descendantWaits);
    EXPECT_TRUE(m_standIns.WaitForAction(L"DriverSetup.exe", L"installed"));
}
