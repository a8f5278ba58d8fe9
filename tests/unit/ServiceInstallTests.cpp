// The service installer and the removal tool against Wine's real service control manager, with
// a stand-in service executable whose behaviour a file beside it chooses.
#include "common/ChildProcess.h"
#include "common/InstantSleep.h"
#include "common/MessageBoxRecorder.h"
#include "common/ServiceStates.h"
#include "common/TestFiles.h"
#include "config/ModulePath.h"
#include "service/ServiceInstall.h"
#include "service/ServiceStartWait.h"
#include "tools/ServiceRemoval.h"

#include <gtest/gtest.h>

#include <vector>

using namespace plugtest;

namespace {

std::wstring FakeService() { return plug::GetModuleDirectory() + L"FakeCommandService.exe"; }
std::wstring RemovalTool() { return plug::GetModuleDirectory() + L"NorvoServiceRemover.exe"; }

// The registered configuration of the command service, or an empty path when there is none.
struct RegisteredService {
    std::wstring binaryPath;
    DWORD serviceType = 0;
    DWORD startType = 0;
    DWORD errorControl = 0;
    std::wstring account;
    std::wstring description;
};

bool QueryRegisteredService(RegisteredService* out)
{
    plug::UniqueSCHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    plug::UniqueSCHandle service(
        manager ? ::OpenServiceW(manager.Get(), plug::kCommandServiceName, SERVICE_QUERY_CONFIG) : nullptr);
    if (!service)
        return false;
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!::QueryServiceConfigW(service.Get(), config, static_cast<DWORD>(buffer.size()), &needed))
        return false;
    out->binaryPath = config->lpBinaryPathName ? config->lpBinaryPathName : L"";
    out->serviceType = config->dwServiceType;
    out->startType = config->dwStartType;
    out->errorControl = config->dwErrorControl;
    out->account = config->lpServiceStartName ? config->lpServiceStartName : L"";
    std::vector<BYTE> described(8192);
    auto* description = reinterpret_cast<SERVICE_DESCRIPTIONW*>(described.data());
    if (::QueryServiceConfig2W(service.Get(), SERVICE_CONFIG_DESCRIPTION, described.data(),
                               static_cast<DWORD>(described.size()), &needed) &&
        description->lpDescription)
        out->description = description->lpDescription;
    return true;
}

class ServiceInstallTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plug::RemoveCommandService();
        SetMode("run");
    }
    void TearDown() override
    {
        plug::RemoveCommandService();
        RemoveFileForced(ModeFile());
    }
    static std::wstring ModeFile() { return plug::GetModuleDirectory() + L"fake_service_mode.txt"; }
    static void SetMode(const char* mode) { WriteBinaryFile(ModeFile(), mode); }
    void WriteConfig(const std::wstring& removalTool)
    {
        WriteUtf16File(m_config.Path(), ProfileText(L"SERVICE", {{L"svcdel_fname", removalTool}}));
    }

    ScopedLanguageFile m_language{[] {
        auto values = StandardLanguage();
        values[L"STR_STRING_ERROR_SVC_FILE_NOT_FOUND"] = L"service file missing";
        values[L"STR_STRING_ERROR_CANNOT_INSTALL_SERVICE"] = L"cannot install";
        values[L"STR_STRING_ERROR_CANNOT_START_SERVICE"] = L"cannot start";
        values[L"STR_STRING_ERROR_CANNOT_OPEN_SCM_0"] = L"no manager";
        return values;
    }()};
    ScopedFile m_config{plug::GetModuleDirectory() + L"config.ini"};
    MessageBoxRecorder m_boxes;
    CServiceInstall m_svc;
};

} // namespace

TEST_F(ServiceInstallTest, AbsentServiceIsNeitherFoundNorRunning)
{
    EXPECT_FALSE(m_svc.Open_Service(GENERIC_READ));
    EXPECT_FALSE(m_svc.IsRunService());
    EXPECT_FALSE(m_svc.m_hScm.IsValid());
    EXPECT_FALSE(m_svc.m_hSrv.IsValid());
}

TEST_F(ServiceInstallTest, InstallsDescribesAndStartsTheService)
{
    EXPECT_TRUE(m_svc.InstallService(FakeService().c_str()));
    EXPECT_EQ(0u, m_boxes.Count());
    EXPECT_TRUE(m_svc.IsRunService());
    EXPECT_TRUE(m_svc.Open_Service(GENERIC_READ));
    EXPECT_FALSE(m_svc.m_hSrv.IsValid()); // the probe leaves nothing open

    RegisteredService registered;
    ASSERT_TRUE(QueryRegisteredService(&registered));
    EXPECT_EQ(FakeService(), registered.binaryPath); // unquoted, no arguments
    EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS), registered.serviceType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), registered.startType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_ERROR_IGNORE), registered.errorControl);
    EXPECT_EQ(L"LocalSystem", registered.account);
    EXPECT_EQ(L"Norvo SCSI Command Sender", registered.description);
}

TEST_F(ServiceInstallTest, RunningServiceIsLeftAloneWithoutMessage)
{
    ASSERT_TRUE(m_svc.InstallService(FakeService().c_str()));
    EXPECT_FALSE(m_svc.InstallService(RemovalTool().c_str()));
    EXPECT_EQ(0u, m_boxes.Count());
    RegisteredService registered;
    ASSERT_TRUE(QueryRegisteredService(&registered));
    EXPECT_EQ(FakeService(), registered.binaryPath);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), ServiceStateByName(plug::kCommandServiceName));
}

TEST_F(ServiceInstallTest, StoppedButRegisteredServiceGivesFalseWithoutMessage)
{
    SetMode("exit");
    EXPECT_TRUE(m_svc.InstallService(FakeService().c_str())); // created; it stopped on its own
    EXPECT_FALSE(m_svc.IsRunService());
    EXPECT_FALSE(m_svc.InstallService(FakeService().c_str()));
    EXPECT_EQ(0u, m_boxes.Count());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), ServiceStateByName(plug::kCommandServiceName));
}

TEST_F(ServiceInstallTest, MissingServiceFileIsReportedAndNothingIsCreated)
{
    for (std::wstring path : {std::wstring(), plug::GetModuleDirectory() + L"NoSuchService.exe"}) {
        m_boxes.Clear();
        EXPECT_FALSE(m_svc.InstallService(path.c_str()));
        ASSERT_EQ(1u, m_boxes.Count());
        EXPECT_EQ(L"service file missing", m_boxes.Boxes()[0].text);
        EXPECT_EQ(L"Test Installer", m_boxes.Boxes()[0].caption);
        EXPECT_EQ(static_cast<UINT>(0x30), m_boxes.Boxes()[0].style);
        EXPECT_EQ(nullptr, m_boxes.Boxes()[0].owner);
        RegisteredService registered;
        EXPECT_FALSE(QueryRegisteredService(&registered));
    }
}

TEST_F(ServiceInstallTest, ServiceThatNeverRunsDoesNotHangTheInstaller)
{
    SetMode("pending");
    InstantSleep sleeps;
    EXPECT_TRUE(m_svc.InstallService(FakeService().c_str()));
    EXPECT_EQ(0u, m_boxes.Count());
    EXPECT_EQ(plug::kServiceStartBudgetMs, sleeps.TotalMs()); // waited the whole budget, then went on
}

TEST_F(ServiceInstallTest, UnInstallRunsTheRemovalToolThenWaitsThreeSeconds)
{
    ASSERT_TRUE(m_svc.InstallService(FakeService().c_str()));
    WriteConfig(L"NorvoServiceRemover.exe");
    InstantSleep sleeps;
    EXPECT_TRUE(m_svc.UnInstallService());
    EXPECT_EQ(std::vector<DWORD>{3000}, sleeps.Sleeps());
    RegisteredService registered;
    EXPECT_FALSE(QueryRegisteredService(&registered));
    EXPECT_FALSE(m_svc.IsRunService());
}

TEST_F(ServiceInstallTest, UnInstallWithMissingToolStillWaitsAndSucceeds)
{
    WriteConfig(L"tools\\NoSuchRemover.exe");
    InstantSleep sleeps;
    EXPECT_TRUE(m_svc.UnInstallService());
    EXPECT_EQ(std::vector<DWORD>{3000}, sleeps.Sleeps());
}

// The tool's name comes from a configuration that any user may be able to write: a tool outside
// the program's folder is never started (here it would remove the service), nor is the folder
// itself opened for an empty name.
TEST_F(ServiceInstallTest, RemovalToolOutsideTheProgramFolderIsNeverStarted)
{
    ASSERT_TRUE(m_svc.InstallService(FakeService().c_str()));
    ScopedFile above(plug::GetModuleDirectory() + L"..\\remover_above.exe");
    ASSERT_TRUE(::CopyFileW(RemovalTool().c_str(), above.Path().c_str(), FALSE));
    for (const std::wstring& name : {std::wstring(L"..\\remover_above.exe"), above.Path(), std::wstring()}) {
        WriteConfig(name);
        InstantSleep sleeps;
        EXPECT_TRUE(m_svc.UnInstallService());
        EXPECT_TRUE(m_svc.IsRunService()) << name;
        EXPECT_EQ(std::vector<DWORD>{3000}, sleeps.Sleeps());
    }
}

// A tool that does not end is given up on after the bound, and the deployment goes on.
TEST_F(ServiceInstallTest, RemovalToolThatDoesNotEndIsWaitedForOnlyUpToTheBound)
{
    WriteConfig(L"Linger.exe");
    m_svc.m_dwRemovalToolWaitMs = 500;
    InstantSleep sleeps;
    const DWORD started = ::GetTickCount();
    EXPECT_TRUE(m_svc.UnInstallService());
    EXPECT_LT(::GetTickCount() - started, 6000u); // the tool sleeps 8 s
    EXPECT_EQ(std::vector<DWORD>{3000}, sleeps.Sleeps());
}

TEST_F(ServiceInstallTest, RemovalToolActsOnlyOnAutoRun)
{
    ASSERT_TRUE(m_svc.InstallService(FakeService().c_str()));
    EXPECT_EQ(3, ChildProcess::Start(RemovalTool(), L"").Wait());
    EXPECT_EQ(3, ChildProcess::Start(RemovalTool(), L"auto_run_now").Wait());
    EXPECT_TRUE(m_svc.IsRunService());
    EXPECT_EQ(0, ChildProcess::Start(RemovalTool(), L"auto_run").Wait());
    RegisteredService registered;
    EXPECT_FALSE(QueryRegisteredService(&registered));
    EXPECT_EQ(0, ChildProcess::Start(RemovalTool(), L"auto_run").Wait()); // nothing left to remove
}

namespace {
// A scripted status sequence for the start wait; the last entry repeats.
std::function<bool(SERVICE_STATUS&)> StatusSequence(std::vector<SERVICE_STATUS> sequence, int* polls)
{
    return [sequence, polls](SERVICE_STATUS& status) {
        size_t at = static_cast<size_t>(*polls) < sequence.size() ? static_cast<size_t>(*polls) : sequence.size() - 1;
        ++*polls;
        status = sequence[at];
        return status.dwCurrentState != 0; // state 0 stands for a failed query
    };
}
SERVICE_STATUS State(DWORD state, DWORD hint = 0)
{
    SERVICE_STATUS status = {};
    status.dwCurrentState = state;
    status.dwWaitHint = hint;
    return status;
}
} // namespace

TEST(ServiceStartWait, EndsWhenRunningStoppedOrUnanswered)
{
    InstantSleep sleeps;
    int polls = 0;
    EXPECT_EQ(
        plug::ServiceStartOutcome::Running,
        plug::WaitForServiceStartWith(StatusSequence(
            {State(SERVICE_START_PENDING, 200), State(SERVICE_START_PENDING, 200), State(SERVICE_RUNNING)}, &polls)));
    EXPECT_EQ(3, polls);
    EXPECT_EQ((std::vector<DWORD>{200, 200}), sleeps.Sleeps()); // the service's wait hint

    polls = 0;
    EXPECT_EQ(plug::ServiceStartOutcome::Stopped, plug::WaitForServiceStartWith(StatusSequence(
                                                      {State(SERVICE_START_PENDING), State(SERVICE_STOPPED)}, &polls)));
    polls = 0;
    EXPECT_EQ(plug::ServiceStartOutcome::QueryFailed,
              plug::WaitForServiceStartWith(StatusSequence({State(SERVICE_START_PENDING), State(0)}, &polls)));
}

TEST(ServiceStartWait, GivesUpAfterThirtySecondsOfWaitHints)
{
    InstantSleep sleeps;
    int polls = 0;
    EXPECT_EQ(plug::ServiceStartOutcome::TimedOut,
              plug::WaitForServiceStartWith(StatusSequence({State(SERVICE_START_PENDING, 60000)}, &polls)));
    EXPECT_EQ(30000u, sleeps.TotalMs()); // long hints are cut to 1 s, the total to the budget
    EXPECT_EQ(31, polls);

    sleeps.Clear();
    polls = 0;
    plug::WaitForServiceStartWith(StatusSequence({State(SERVICE_START_PENDING, 0)}, &polls), 1000);
    EXPECT_EQ(20u, sleeps.Sleeps().size()); // a zero hint still pauses 50 ms between polls
}
