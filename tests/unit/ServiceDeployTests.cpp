// Deployment of the command service into the system folder and its update, against Wine's real
// service control manager with the simulated device behind the service. The deployment only
// acts before Vista: the suites below run in copies of this program that the prefix treats as
// Windows XP or Windows 7 (the ServiceDeployment tests start them); run directly, they skip.
#include "app/SystemInfo.h"
#include "common/ChildProcess.h"
#include "common/FakeInstallation.h"
#include "common/InstantSleep.h"
#include "common/MessageBoxRecorder.h"
#include "common/ServiceStates.h"
#include "common/SimDevice.h"
#include "common/TestFiles.h"
#include "config/ModulePath.h"
#include "version/FileVersion.h"
#include "framework/StringFormat.h"
#include "service/PipeProtocol.h"
#include "service/ServiceVersionText.h"
#include "tools/ServiceRemoval.h"
#include "common/FakeRunHost.h"
#include "core/PlugstartRun.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

using namespace plugtest;

namespace {

std::wstring InstalledService() { return SystemFolder() + L"NorvoAutorunService.exe"; }
std::wstring InstalledDevpoke() { return SystemFolder() + L"Devpoke.dll"; }
std::wstring ProgramFolder() { return plug::GetModuleDirectory(); }

DWORD Attributes(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()); }

// The program folder as the PC copy has it: the shipped service and removal tool in "tools\",
// the simulated device library beside the program, and a configuration naming the service files.
class DeploymentFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_run.m_bVistaOS = plug::IsVistaOS();
        m_run.m_strArgument = L"-l R";
        m_run.m_strDriveLetter = L"R";
        CreateFolders(ProgramFolder() + L"tools");
        ShipService(L"shipped");
        ::CopyFileW((ProgramFolder() + L"shipped\\NorvoServiceRemover.exe").c_str(),
                    (ProgramFolder() + L"tools\\NorvoServiceRemover.exe").c_str(), FALSE);
        WriteServiceConfig(L"2", {L"tools\\NorvoAutorunService.exe", L"Devpoke.dll"});
        Clean();
        sim::DeviceState deniedToUsers; // a user without rights: only the service reaches the device
        deniedToUsers.denyDirect = true;
        deniedToUsers.replyBytes[0] = 0x4C;
        deniedToUsers.replyBytes[1] = 0x07;
        deniedToUsers.replyBytes[2] = 0xD0;
        m_sim.SetState(L'R', deniedToUsers);
    }
    void TearDown() override { Clean(); }

    // Nothing of the service on the machine.
    void Clean()
    {
        plug::RemoveCommandService();
        RemoveFileForced(InstalledService());
        RemoveFileForced(InstalledDevpoke());
    }
    // Puts the service build of folder "shipped" or "next" into the program's "tools\".
    void ShipService(const wchar_t* build)
    {
        std::wstring shipped = ProgramFolder() + L"tools\\NorvoAutorunService.exe";
        RemoveFileForced(shipped);
        ::CopyFileW((ProgramFolder() + build + L"\\NorvoAutorunService.exe").c_str(), shipped.c_str(), FALSE);
    }
    void WriteServiceConfig(const std::wstring& count, const std::vector<std::wstring>& files)
    {
        std::map<std::wstring, std::wstring> values = {{L"svcdel_fname", L"tools\\NorvoServiceRemover.exe"}};
        if (!count.empty())
            values[L"filecount"] = count;
        for (size_t i = 0; i < files.size(); ++i)
            values[plug::FormatString(L"file%02zu", i)] = files[i];
        WriteUtf16File(m_config.Path(), ProfileText(L"SERVICE", values));
    }

    ScopedFile m_config{ProgramFolder() + L"config.ini"};
    ScopedLanguageFile m_language{[] {
        auto values = StandardLanguage();
        values[L"STR_STRING_ERROR_SVC_FILE_NOT_FOUND"] = L"service file missing";
        return values;
    }()};
    // Deploys with the 3 s pause after the removal tool skipped. (Only here: the pipe client
    // counts its reply wait in sleeps, so it must sleep for real.)
    BOOL InitService(std::vector<DWORD>* sleepsAsked = nullptr)
    {
        InstantSleep sleeps;
        BOOL deployed = m_core.Service().InitService();
        if (sleepsAsked)
            *sleepsAsked = sleeps.Sleeps();
        return deployed;
    }

    MessageBoxRecorder m_boxes;
    SimDevice m_sim;
    RunState m_run;
    FakeRunHost m_host;
    CPlugstartRun m_core{m_run, m_host};
};

class DeployOnWindowsXp : public DeploymentFixture {
protected:
    void SetUp() override
    {
        if (plug::IsVistaOS())
            GTEST_SKIP() << "runs in the Windows XP copy";
        DeploymentFixture::SetUp();
    }
};

class DeployOnWindows7 : public DeploymentFixture {
protected:
    void SetUp() override
    {
        if (!plug::IsVistaOS())
            GTEST_SKIP() << "runs in the Windows 7 copy";
        DeploymentFixture::SetUp();
    }
};

} // namespace

TEST_F(DeployOnWindowsXp, NothingInstalledNeedsDeployment)
{
    EXPECT_FALSE(m_core.ServiceInstaller().IsRunService());
    EXPECT_TRUE(m_core.Service().IsRequireUpdateSVC());
}

TEST_F(DeployOnWindowsXp, InitServiceCopiesTheFilesAndTheServiceAnswersOnThePipe)
{
    EXPECT_TRUE(InitService());
    EXPECT_EQ(0u, m_boxes.Count());
    EXPECT_TRUE(plug::IsExistFile(InstalledService()));
    EXPECT_TRUE(plug::IsExistFile(InstalledDevpoke()));
    EXPECT_TRUE(m_core.ServiceInstaller().IsRunService());
    EXPECT_FALSE(m_core.Service().IsRequireUpdateSVC()); // the same version is there now

    std::optional<ServiceAnswer> answer = m_core.Service().ServiceControl(USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO);
    ASSERT_TRUE(answer);
    EXPECT_EQ(3, answer->nResult);
    const BYTE expected[3] = {0x4C, 0x07, 0xD0};
    EXPECT_EQ(0, std::memcmp(expected, answer->byData, 3));
    ASSERT_EQ(1u, m_sim.Commands().size());
    EXPECT_EQ(L"NorvoAutorunService.exe", m_sim.Commands()[0].process);
}

TEST_F(DeployOnWindowsXp, NewerShippedServiceReplacesTheRunningOne)
{
    ASSERT_TRUE(InitService());
    ASSERT_TRUE(m_core.ServiceInstaller().IsRunService());
    EXPECT_EQ(PLUGSTART_SERVICE_VERSION, plug::GetFileVersionText(InstalledService()));

    ShipService(L"next");
    EXPECT_TRUE(m_core.Service().IsRequireUpdateSVC());
    EXPECT_TRUE(InitService()); // removal tool, copy, install
    EXPECT_EQ(PLUGSTART_SERVICE_VERSION_NEXT, plug::GetFileVersionText(InstalledService()));
    EXPECT_TRUE(m_core.ServiceInstaller().IsRunService());
    EXPECT_FALSE(m_core.Service().IsRequireUpdateSVC());
    std::optional<ServiceAnswer> answer = m_core.Service().ServiceControl(USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO);
    ASSERT_TRUE(answer);
    EXPECT_EQ(3, answer->nResult);
    EXPECT_EQ(0u, m_boxes.Count());

    ShipService(L"shipped"); // an older shipped service is not deployed over a newer one
    EXPECT_FALSE(m_core.Service().IsRequireUpdateSVC());
}

TEST_F(DeployOnWindowsXp, RunningOrStoppedRegisteredServiceIsNotInstalledAgain)
{
    ASSERT_TRUE(InitService());
    EXPECT_FALSE(m_core.ServiceInstaller().InstallService(InstalledService().c_str()));

    plug::UniqueSCHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    plug::UniqueSCHandle service(
        ::OpenServiceW(manager.Get(), plug::kCommandServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS));
    SERVICE_STATUS status = {};
    ASSERT_TRUE(::ControlService(service.Get(), SERVICE_CONTROL_STOP, &status));
    ASSERT_TRUE(WaitForState(service.Get(), SERVICE_STOPPED, 10000));
    EXPECT_FALSE(m_core.ServiceInstaller().InstallService(InstalledService().c_str()));
    EXPECT_FALSE(m_core.ServiceInstaller().IsRunService());
    EXPECT_EQ(0u, m_boxes.Count());
}

TEST_F(DeployOnWindowsXp, WithoutTheServiceFileTheInstallerSaysSo)
{
    WriteServiceConfig(L"1", {L"Devpoke.dll"}); // no listed file is the service
    EXPECT_TRUE(InitService());
    ASSERT_EQ(1u, m_boxes.Count());
    EXPECT_EQ(L"service file missing", m_boxes.Boxes()[0].text);
    EXPECT_FALSE(m_core.ServiceInstaller().IsRunService());

    m_boxes.Clear();
    WriteServiceConfig(L"two", {L"tools\\NorvoAutorunService.exe", L"Devpoke.dll"}); // not a number
    EXPECT_TRUE(InitService());
    EXPECT_FALSE(plug::IsExistFile(InstalledService())); // nothing copied
    EXPECT_EQ(1u, m_boxes.Count());
}

TEST_F(DeployOnWindowsXp, ListedFileMissingFromTheProgramFolderStopsTheDeployment)
{
    WriteServiceConfig(L"2", {L"tools\\NorvoAutorunService.exe", L"tools\\NotShipped.dll"});
    EXPECT_FALSE(InitService());
    EXPECT_TRUE(plug::IsExistFile(InstalledService())); // what was copied stays
    EXPECT_FALSE(m_core.ServiceInstaller().IsRunService());
    EXPECT_EQ(0u, m_boxes.Count());
}

// What is deployed runs as a LocalSystem service: a listed name that leaves the program folder
// is never copied nor registered, even when a file lies where it points.
TEST_F(DeployOnWindowsXp, ListedFileOutsideTheProgramFolderIsNeverDeployed)
{
    ScopedFile above(ProgramFolder() + L"..\\NorvoAutorunService.exe");
    ::CopyFileW((ProgramFolder() + L"shipped\\NorvoAutorunService.exe").c_str(), above.Path().c_str(), FALSE);
    for (const std::wstring& name : {std::wstring(L"..\\NorvoAutorunService.exe"), above.Path()}) {
        WriteServiceConfig(L"1", {name});
        EXPECT_FALSE(InitService()) << name;
        EXPECT_FALSE(plug::IsExistFile(InstalledService()));
        EXPECT_FALSE(m_core.ServiceInstaller().Open_Service(GENERIC_READ));
    }
}

TEST_F(DeployOnWindowsXp, ServiceNameInOtherLetterCaseIsStillTheService)
{
    WriteServiceConfig(L"2", {L"tools\\NORVOAUTORUNSERVICE.EXE", L"Devpoke.dll"});
    EXPECT_TRUE(InitService());
    EXPECT_TRUE(m_core.ServiceInstaller().IsRunService());
    EXPECT_EQ(0u, m_boxes.Count());
}

TEST_F(DeployOnWindowsXp, ReadOnlyTargetsEndWithOnlyTheArchiveAttribute)
{
    // An earlier deployment left a read-only library, and the shipped service is read-only too,
    // as files copied from a CD are.
    ::CopyFileW((ProgramFolder() + L"Devpoke.dll").c_str(), InstalledDevpoke().c_str(), FALSE);
    ::SetFileAttributesW(InstalledDevpoke().c_str(), FILE_ATTRIBUTE_READONLY);
    std::wstring shipped = ProgramFolder() + L"tools\\NorvoAutorunService.exe";
    ::SetFileAttributesW(shipped.c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_TRUE(InitService());
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), Attributes(InstalledDevpoke()));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), Attributes(InstalledService()));
    EXPECT_TRUE(m_core.ServiceInstaller().IsRunService());
    ::SetFileAttributesW(shipped.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(DeployOnWindows7, InitServiceOnlyRunsTheRemovalTool)
{
    // A service left registered (never started) by an earlier Windows is removed all the same.
    plug::UniqueSCHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    std::wstring shipped = ProgramFolder() + L"tools\\NorvoAutorunService.exe";
    plug::UniqueSCHandle created(::CreateServiceW(manager.Get(), plug::kCommandServiceName, plug::kCommandServiceName,
                                                  SERVICE_QUERY_STATUS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                                  SERVICE_ERROR_IGNORE, shipped.c_str(), nullptr, nullptr, nullptr,
                                                  nullptr, nullptr));
    ASSERT_TRUE(created.IsValid());
    created.Reset();
    EXPECT_TRUE(m_core.ServiceInstaller().Open_Service(GENERIC_READ));

    std::vector<DWORD> sleeps;
    EXPECT_TRUE(InitService(&sleeps));
    EXPECT_FALSE(m_core.ServiceInstaller().Open_Service(GENERIC_READ));
    EXPECT_FALSE(plug::IsExistFile(InstalledService()));
    EXPECT_FALSE(plug::IsExistFile(InstalledDevpoke()));
    EXPECT_EQ(std::vector<DWORD>{3000}, sleeps);
    EXPECT_FALSE(m_core.Service().IsRequireUpdateSVC());
}

namespace {
// Runs the suite in a copy of this program that the prefix treats as windowsVersion.
void RunSuiteAs(const wchar_t* windowsVersion, const wchar_t* suite)
{
    std::wstring copy = CopyAsWindowsVersion(ThisExecutable(), windowsVersion);
    std::string output;
    int code = RunAndCapture(copy, std::wstring(L"--gtest_filter=") + suite + L".*", &output, 300000);
    EXPECT_EQ(0, code) << output;
    EXPECT_EQ(std::string::npos, output.find("[  SKIPPED ]")) << output;
    EXPECT_NE(std::string::npos, output.find("[  PASSED  ]")) << output;
    RemoveFileForced(copy);
}
} // namespace

TEST(ServiceDeployment, OnWindowsXp) { RunSuiteAs(L"winxp", L"DeployOnWindowsXp"); }

TEST(ServiceDeployment, OnWindows7) { RunSuiteAs(L"win7", L"DeployOnWindows7"); }
