// CheckSystem: the profile from config.ini and the simulated device's answer, every way the
// device cannot be reached, and the command service's route before Vista (a stand-in service
// that runs, the pipe served by the test).
#include "CoreTestSupport.h"

#include "common/FakePipeServer.h"
#include "service/ServiceInstall.h"
#include "tools/ServiceRemoval.h"

using namespace plugtest;

namespace {

const wchar_t kPhoneQuery[] = L"F1 02 20 00 00 00";

std::vector<int> Flags(const ResDefineCommand& profile)
{
    return std::vector<int>(profile.byPhoneFlag, profile.byPhoneFlag + 8);
}

// "Norvo SCSI Commander" registered and running (a stand-in that serves no pipe), with the same
// service file in the system folder and in "tools" beside the program: running and current.
class ScopedCommandService {
public:
    ScopedCommandService()
    {
        plug::RemoveCommandService();
        std::wstring service = plug::GetModuleDirectory() + L"FakeCommandService.exe";
        m_files.Put(SystemFolder() + L"NorvoAutorunService.exe", service);
        m_files.Put(plug::GetModuleDirectory() + L"tools\\NorvoAutorunService.exe", service);
        m_running = CServiceInstall().InstallService(service.c_str()) == TRUE;
    }
    ~ScopedCommandService() { plug::RemoveCommandService(); }
    ScopedCommandService(const ScopedCommandService&) = delete;
    ScopedCommandService& operator=(const ScopedCommandService&) = delete;
    bool IsRunning() const { return m_running; }

private:
    ScopedFiles m_files;
    bool m_running = false;
};

class CheckSystemTest : public CoreTest {
protected:
    // The QCT driver and the operator's kit of the configuration, installed and as new as the CD's.
    void InstallEverythingCurrent()
    {
        m_install.InstallQctDriver(L"1.0.0.0");
        m_install.RegisterProduct(kVtpKitCode, false, L"2.0.0.0");
        WriteConfig({{L"DRIVER", {{L"driver_version", L"1.0.0.0"}}}, {L"ITK", {{L"itk_version", L"2.0.0.0"}}}});
    }
    void Answer(int result, BYTE b0, BYTE b1, BYTE b2)
    {
        sim::DeviceState state;
        state.replyResult = result;
        state.replyBytes[0] = b0;
        state.replyBytes[1] = b1;
        state.replyBytes[2] = b2;
        m_sim.SetState(L'R', state);
    }
};

} // namespace

TEST_F(CheckSystemTest, ProfileComesFromTheConfigurationAndTheDevicesAnswer)
{
    WriteConfig({{L"INSTALL", {{L"install_type", L"1"}}},
                 {L"DRIVER", {{L"driver_type", L"foma_k21c"}, {L"driver_name", L"DriverSetup.exe"}}},
                 {L"ITK", {{L"itk_type", L"3"}, {L"itk_setup", L"cm\\Setup.exe"}, {L"itk_run_file", L"CM.exe"}}}});
    Answer(3, 0x0F, 0x01, 0x00);
    ASSERT_TRUE(m_core.CheckSystem());
    const ResDefineCommand& profile = m_run.m_ResDefineCommand;
    EXPECT_TRUE(m_run.m_bFullInstall);
    EXPECT_EQ(DRIVERTYPE_FOMA_K21C, profile.nDriverType);
    EXPECT_EQ(TYPE_CM_DCM, profile.nITKType);
    EXPECT_EQ(L"DriverSetup.exe", profile.strDrvSetupFilename);
    EXPECT_EQ(L"cm\\Setup.exe", profile.strITKSetupFinename);
    EXPECT_EQ(L"CM.exe", profile.strITKFilename);
    EXPECT_EQ(L"R", profile.strDrive); // a PC start: the letter of "-l", not the program's folder
    EXPECT_EQ((std::vector<int>{1, 1, 1, 1, 0, 0, 0, 0}), Flags(profile));
    EXPECT_EQ(256u, profile.dwSCSIWaitTime);
    EXPECT_EQ(std::vector<std::wstring>{L"R " + std::wstring(kPhoneQuery)}, DeviceCommands());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_FALSE(m_run.m_bDeploySVC) << "the service is only for the operator's kit";
}

TEST_F(CheckSystemTest, MissingTypesGiveFullInstallQctAndTheOperatorsKitAndTheAnswerMayChangeThem)
{
    WriteConfig({{L"INSTALL", {{L"install_type", L""}}}});
    Answer(3, 0x4C, 0x07, 0xD0);
    ASSERT_TRUE(m_core.CheckSystem());
    EXPECT_TRUE(m_run.m_bFullInstall);
    EXPECT_EQ(TYPE_PCSYNC, m_run.m_ResDefineCommand.nITKType);
    EXPECT_EQ(DRIVERTYPE_EMP, m_run.m_ResDefineCommand.nDriverType);
    EXPECT_EQ(2000u, m_run.m_ResDefineCommand.dwSCSIWaitTime);
    // The configured kit type (0) decides on the service, not the answer's.
    EXPECT_TRUE(m_run.m_bDeploySVC) << "no service runs here";

    WriteConfig({{L"INSTALL", {{L"install_type", L"0"}}}, {L"ITK", {{L"itk_type", L"7"}}}});
    m_run.m_ResDefineCommand = ResDefineCommand();
    Answer(2, 0x4C, 0x07, 0xD0); // a partial answer: flags only
    ASSERT_TRUE(m_core.CheckSystem());
    EXPECT_FALSE(m_run.m_bFullInstall);
    EXPECT_EQ(ITKTYPE_VTP, m_run.m_ResDefineCommand.nITKType);
    EXPECT_EQ(DRIVERTYPE_QCT, m_run.m_ResDefineCommand.nDriverType);
    EXPECT_EQ(1000u, m_run.m_ResDefineCommand.dwSCSIWaitTime);
    EXPECT_EQ((std::vector<int>{0, 0, 1, 1, 0, 0, 1, 0}), Flags(m_run.m_ResDefineCommand));
}

TEST_F(CheckSystemTest, EmpDeviceIsNotAskedAndWaitsThreeSeconds)
{
    WriteConfig({{L"DRIVER", {{L"driver_type", L"emp"}}}});
    ASSERT_TRUE(m_core.CheckSystem());
    EXPECT_EQ(DRIVERTYPE_EMP, m_run.m_ResDefineCommand.nDriverType);
    EXPECT_EQ(3000u, m_run.m_ResDefineCommand.dwSCSIWaitTime);
    EXPECT_EQ((std::vector<int>{1, 1, 1, 1, 1, 1, 0, 0}), Flags(m_run.m_ResDefineCommand));
    EXPECT_TRUE(DeviceCommands().empty());
    EXPECT_TRUE(m_run.m_bDeploySVC) << "the EMP route counts as not refused";
}

TEST_F(CheckSystemTest, InstallationStateIsReadForTheTypesTheDeviceAnswered)
{
    InstallEverythingCurrent();
    ASSERT_TRUE(m_core.CheckSystem());
    const ResDefineCommand& profile = m_run.m_ResDefineCommand;
    EXPECT_EQ(1, profile.bInstalledDrv);
    EXPECT_EQ(1, profile.bInstalledITK);
    EXPECT_EQ(0, profile.bRequireUpDrv);
    EXPECT_EQ(0, profile.bRequireUpITK);
    EXPECT_EQ(1, profile.bInstallDrv) << "the dialog chooses the steps";

    Answer(3, 0x4C, 0x07, 0xD0); // the device says EMP and the PC suite, neither of which is here
    ASSERT_TRUE(m_core.CheckSystem());
    EXPECT_EQ(0, profile.bInstalledDrv);
    EXPECT_EQ(0, profile.bInstalledITK);
    EXPECT_EQ(1, profile.bRequireUpDrv);
}

TEST_F(CheckSystemTest, DeviceThatCannotBeReachedIsReportedAndEndsTheCheck)
{
    StartFromPc(L"1"); // not a drive letter
    EXPECT_FALSE(m_core.CheckSystem());
    StartFromPc(L"Q"); // no such drive
    EXPECT_FALSE(m_core.CheckSystem());
    StartFromPc(L"R");
    sim::DeviceState failing;
    failing.fail = -3;
    m_sim.SetState(L'R', failing);
    EXPECT_FALSE(m_core.CheckSystem());
    EXPECT_EQ((std::vector<std::wstring>{L"STR_STRING_ERROR_SCSI_0_0", L"STR_STRING_ERROR_SCSI_1_0",
                                         L"STR_STRING_ERROR_SCSI_2_0"}),
              Boxes());
}

TEST_F(CheckSystemTest, UnknownFailureOfTheQueryIsReportedAsAFailedCommand)
{
    // Negative answers around the known codes: the user reads why the check ends, not an empty box.
    const int unknown[] = {-4, -19, -21, -1000};
    for (int result : unknown) {
        sim::DeviceState failing;
        failing.fail = result;
        m_sim.SetState(L'R', failing);
        EXPECT_FALSE(m_core.CheckSystem()) << result;
    }
    EXPECT_EQ(std::vector<std::wstring>(std::size(unknown), L"STR_STRING_ERROR_SCSI_2_0"), Boxes());
    EXPECT_EQ(std::size(unknown), DeviceCommands().size()) << "each was asked once";
}

TEST_F(CheckSystemTest, CdStartNeedsTheDeviceLibraryBesideTheProgram)
{
    StartFromCd();
    // The library is loaded already: moving it aside only hides it from the check.
    std::wstring library = ProgramFolder() + L"Devpoke.dll";
    std::wstring aside = library + L".aside";
    ASSERT_TRUE(::MoveFileW(library.c_str(), aside.c_str()));
    BOOL result = m_core.CheckSystem();
    StartFromPc(L"R"); // the PC copy is not on the device: it does not look for the library
    BOOL pcStart = m_core.CheckSystem();
    ::MoveFileW(aside.c_str(), library.c_str());
    EXPECT_FALSE(result);
    EXPECT_TRUE(pcStart);
    EXPECT_EQ(std::vector<std::wstring>{L"STR_STRING_ERROR_CANNOT_FIND_SCSIDLL"}, Boxes());
    EXPECT_EQ(std::vector<std::wstring>{L"R " + std::wstring(kPhoneQuery)}, DeviceCommands())
        << "only the PC start asked";
}

TEST_F(CheckSystemTest, CdStartAsksTheDeviceOfItsOwnFolderAndHandsTheFolderOnAsTheDrive)
{
    StartFromCd();
    const wchar_t cdLetter = ProgramFolder()[0];
    sim::DeviceState state;
    state.replyResult = 3;
    m_sim.SetState(cdLetter, state);
    ASSERT_TRUE(m_core.CheckSystem());
    // Another instance receives this in the profile and reads its first character.
    EXPECT_EQ(ProgramFolder(), m_run.m_ResDefineCommand.strDrive);
    EXPECT_EQ(std::vector<std::wstring>{std::wstring(1, cdLetter) + L" " + kPhoneQuery}, DeviceCommands());
}

TEST_F(CheckSystemTest, RefusedUserWithAnotherKitOrOnVistaIsToldToBeAdministrator)
{
    DenyUsers();
    FakePipeServer service(FakePipeServer::Behaviour::Reply, PhoneReply(3, 0, 0, 0));
    WriteConfig({{L"ITK", {{L"itk_type", L"1"}}}});
    EXPECT_FALSE(m_core.CheckSystem());
    WriteConfig({});
    m_run.m_bVistaOS = TRUE;
    EXPECT_FALSE(m_core.CheckSystem());
    EXPECT_EQ((std::vector<std::wstring>{L"STR_STRING_NON_ADMIN_NOTI", L"STR_STRING_NON_ADMIN_NOTI"}), Boxes());
    EXPECT_TRUE(service.Requests().empty());
}

TEST_F(CheckSystemTest, RefusedUserWithSomethingToInstallIsNotServedByTheService)
{
    DenyUsers();
    FakePipeServer pipe(FakePipeServer::Behaviour::Reply, PhoneReply(3, 0, 0, 0));
    EXPECT_FALSE(m_core.CheckSystem()); // nothing installed, no service
    InstallEverythingCurrent();
    EXPECT_FALSE(m_core.CheckSystem()); // installed, but no service
    ScopedCommandService service;
    ASSERT_TRUE(service.IsRunning());
    WriteConfig({{L"DRIVER", {{L"driver_version", L"1.0.0.1"}}}, {L"ITK", {{L"itk_version", L"2.0.0.0"}}}});
    EXPECT_FALSE(m_core.CheckSystem()); // a newer driver on the CD
    EXPECT_EQ(std::vector<std::wstring>(3, L"STR_STRING_ERROR_SCSI_3_0"), Boxes());
    EXPECT_TRUE(pipe.Requests().empty());
}

TEST_F(CheckSystemTest, ServiceRouteBeforeVistaDecodesTheServicesAnswerLikeTheDevicesOwn)
{
    InstallEverythingCurrent();
    ScopedCommandService service;
    ASSERT_TRUE(service.IsRunning());
    DenyUsers();
    {
        FakePipeServer pipe(FakePipeServer::Behaviour::Reply, PhoneReply(3, 0x4C, 0x07, 0xD0));
        ASSERT_TRUE(m_core.CheckSystem());
        ASSERT_EQ(1u, pipe.Requests().size());
        EXPECT_EQ(Utf16Message(u"AUTORUNSERVICE_GETPHONESET\\R", 260), pipe.Requests()[0]);
    }
    const ResDefineCommand& profile = m_run.m_ResDefineCommand;
    EXPECT_EQ((std::vector<int>{0, 0, 1, 1, 0, 0, 1, 0}), Flags(profile));
    EXPECT_EQ(2000u, profile.dwSCSIWaitTime);
    EXPECT_EQ(TYPE_PCSYNC, profile.nITKType);
    EXPECT_EQ(DRIVERTYPE_EMP, profile.nDriverType);
    EXPECT_FALSE(m_run.m_bDeploySVC) << "a refused user cannot deploy the service";

    // The service's own "access denied" is an answer like any other: flags only.
    m_run.m_ResDefineCommand = ResDefineCommand();
    {
        FakePipeServer pipe(FakePipeServer::Behaviour::Reply, PhoneReply(-20, 0xC1, 0x07, 0xD0));
        ASSERT_TRUE(m_core.CheckSystem());
    }
    EXPECT_EQ((std::vector<int>{1, 0, 0, 0, 0, 0, 1, 1}), Flags(profile));
    EXPECT_EQ(1000u, profile.dwSCSIWaitTime);
    EXPECT_EQ(ITKTYPE_VTP, profile.nITKType);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(CheckSystemTest, ServiceRouteFailuresEachHaveTheirMessage)
{
    InstallEverythingCurrent();
    ScopedCommandService service;
    ASSERT_TRUE(service.IsRunning());
    DenyUsers();
    for (int result : {-1, -2, -3}) {
        FakePipeServer pipe(FakePipeServer::Behaviour::Reply, PhoneReply(result, 0x4C, 0x07, 0xD0));
        EXPECT_FALSE(m_core.CheckSystem()) << result;
    }
    {
        FakePipeServer pipe(FakePipeServer::Behaviour::CloseWithoutReply);
        EXPECT_FALSE(m_core.CheckSystem());
    }
    EXPECT_EQ((std::vector<std::wstring>{L"STR_STRING_ERROR_SCSI_4_0", L"STR_STRING_ERROR_SCSI_5_0",
                                         L"STR_STRING_ERROR_SCSI_6_0", L"STR_STRING_ERROR_SCSI_3_1"}),
              Boxes());
}

TEST_F(CheckSystemTest, ServiceIsDeployedForTheOperatorsKitBeforeVistaWhenItDoesNotRun)
{
    ASSERT_TRUE(m_core.CheckSystem());
    EXPECT_TRUE(m_run.m_bDeploySVC);
    m_run.m_bDeploySVC = FALSE;
    m_run.m_bVistaOS = TRUE;
    ASSERT_TRUE(m_core.CheckSystem());
    EXPECT_FALSE(m_run.m_bDeploySVC);
    m_run.m_bVistaOS = FALSE;
    ScopedCommandService service;
    ASSERT_TRUE(service.IsRunning());
    ASSERT_TRUE(m_core.CheckSystem());
    EXPECT_FALSE(m_run.m_bDeploySVC) << "running and current";
}
