// SCSI_ModeChange against the simulated device on Wine's CD-ROM drives R: and S:.
#include "common/FakePipeServer.h"
#include "common/MessageBoxRecorder.h"
#include "common/SimDevice.h"
#include "common/TestFiles.h"
#include "config/ModulePath.h"
#include "core/DeviceSeam.h"
#include "common/FakeRunHost.h"
#include "core/PlugstartRun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace plugtest;

namespace {

const wchar_t kFirstForm[] = L"F1 01 01 00 00 00";
const wchar_t kSecondForm[] = L"F1 01 81 00 00 00";

class ModeChangeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_run.m_bVistaOS = FALSE;
        StartFromPc(L"R");
        m_sim.SetState(L'R', sim::DeviceState());
        m_sim.SetState(L'S', sim::DeviceState());
    }

    void StartFromPc(const std::wstring& letter)
    {
        m_run.m_strArgument = L"-l " + letter;
        m_run.m_strDriveLetter = letter;
    }

    // Puts "Plugstart.exe" at the root of a drive for the test's lifetime.
    void PutProgramOn(wchar_t letter)
    {
        std::wstring path = std::wstring(1, letter) + L":\\Plugstart.exe";
        m_programs.emplace_back(new ScopedFile(path));
        WriteBinaryFile(path, "MZ");
    }

    // A device that only the command service may open.
    void DenyUsersOn(wchar_t letter)
    {
        sim::DeviceState denied;
        denied.denyDirect = true;
        m_sim.SetState(letter, denied);
    }

    // The commands the device saw, as "drive cdb length".
    std::vector<std::wstring> Commands() const
    {
        std::vector<std::wstring> seen;
        for (const SimCommand& command : m_sim.Commands())
            seen.push_back(std::wstring(1, command.drive) + L" " + command.cdb + L" " +
                           std::to_wstring(command.length));
        return seen;
    }

    static std::wstring Command(wchar_t drive, const wchar_t* cdb, int length)
    {
        return std::wstring(1, drive) + L" " + cdb + L" " + std::to_wstring(length);
    }

    RunState m_run;
    FakeRunHost m_host;
    CPlugstartRun m_core{m_run, m_host};
    SimDevice m_sim;
    MessageBoxRecorder m_boxes;
    std::vector<std::unique_ptr<ScopedFile>> m_programs;
};

} // namespace

TEST_F(ModeChangeTest, OwnDriveThatAcceptsTheFirstFormGetsOneCommand)
{
    PutProgramOn(L'C'); // not a CD-ROM drive: never touched
    EXPECT_EQ(0, m_core.SCSI_ModeChange());
    EXPECT_EQ(std::vector<std::wstring>{Command(L'R', kFirstForm, 0)}, Commands());
    EXPECT_TRUE(m_run.m_bModeChanged);
    EXPECT_TRUE(m_sim.State(L'R').modemMode);
    EXPECT_FALSE(m_sim.State(L'S').modemMode); // a CD-ROM drive without the program is left alone
}

TEST_F(ModeChangeTest, AnotherDriveWithTheProgramAtItsRootIsSwitchedToo)
{
    PutProgramOn(L'S');
    EXPECT_EQ(0, m_core.SCSI_ModeChange());
    EXPECT_EQ((std::vector<std::wstring>{Command(L'R', kFirstForm, 0), Command(L'S', kFirstForm, 0)}), Commands());
    EXPECT_TRUE(m_sim.State(L'S').modemMode);
}

TEST_F(ModeChangeTest, NegativeFirstFormIsFollowedByTheSecondForm)
{
    sim::DeviceState refusesFirstForm;
    refusesFirstForm.fail = -3;
    refusesFirstForm.failOn = L"0101";
    m_sim.SetState(L'R', refusesFirstForm);
    m_sim.SetState(L'S', refusesFirstForm);
    PutProgramOn(L'S');

    EXPECT_EQ(0, m_core.SCSI_ModeChange()); // the second form's result
    EXPECT_EQ((std::vector<std::wstring>{Command(L'R', kFirstForm, 0), Command(L'R', kSecondForm, 1),
                                         Command(L'S', kFirstForm, 0), Command(L'S', kSecondForm, 0)}),
              Commands());
}

TEST_F(ModeChangeTest, OwnDriveIsSkippedInTheScanWhateverItsCase)
{
    StartFromPc(L"r");
    PutProgramOn(L'R');
    EXPECT_EQ(0, m_core.SCSI_ModeChange());
    EXPECT_EQ(std::vector<std::wstring>{Command(L'r', kFirstForm, 0)}, Commands());
}

// The service switches the drive its request names: for the refused other device, that device's.
TEST_F(ModeChangeTest, AccessDeniedOnAnotherDriveAsksTheServiceForThatDrive)
{
    DenyUsersOn(L'S');
    PutProgramOn(L'S');
    FakePipeServer service(FakePipeServer::Behaviour::Reply, Utf16Message(u"0", 4));

    EXPECT_EQ(0, m_core.SCSI_ModeChange());
    EXPECT_EQ((std::vector<std::wstring>{Command(L'R', kFirstForm, 0), Command(L'S', kFirstForm, 0),
                                         Command(L'S', kSecondForm, 0)}),
              Commands());
    ASSERT_EQ(1u, service.Requests().size());
    EXPECT_EQ(Utf16Message(u"AUTORUNSERVICE_MODECHANGE\\S", 260), service.Requests()[0]);
}

TEST_F(ModeChangeTest, OnlyAccessDeniedOnTheFirstFormGoesToTheService)
{
    PutProgramOn(L'S');
    FakePipeServer service(FakePipeServer::Behaviour::Reply, Utf16Message(u"0", 4));
    sim::DeviceState failing; // a device that fails otherwise is not the service's business
    failing.fail = -3;
    m_sim.SetState(L'S', failing);
    m_core.SCSI_ModeChange();
    EXPECT_TRUE(service.Requests().empty());

    sim::DeviceState deniedFirstForm; // the second form's success does not change the decision
    deniedFirstForm.fail = -20;
    deniedFirstForm.failOn = L"0101";
    m_sim.SetState(L'S', deniedFirstForm);
    m_core.SCSI_ModeChange();
    EXPECT_EQ(1u, service.Requests().size());
}

TEST_F(ModeChangeTest, AccessDeniedGoesToTheServiceOnlyForKitTypeZeroBeforeVista)
{
    DenyUsersOn(L'S');
    PutProgramOn(L'S');
    FakePipeServer service(FakePipeServer::Behaviour::Reply, Utf16Message(u"0", 4));

    m_run.m_ResDefineCommand.nITKType = ITKTYPE_NorvoITK;
    m_core.SCSI_ModeChange();
    EXPECT_TRUE(service.Requests().empty());
    // On Vista the mode change must not even ask (the pipe client would refuse anyway).
    m_run.m_ResDefineCommand.nITKType = ITKTYPE_VTP;
    m_run.m_bVistaOS = TRUE;
    m_core.SCSI_ModeChange();
    EXPECT_FALSE(m_host.Traced(L"ServiceControl")) << "the service was asked";
    EXPECT_TRUE(service.Requests().empty());
    // The same device before Vista: it is asked.
    m_run.m_bVistaOS = FALSE;
    m_core.SCSI_ModeChange();
    EXPECT_TRUE(m_host.Traced(L"ServiceControl"));
    EXPECT_EQ(1u, service.Requests().size());
}

TEST_F(ModeChangeTest, CdStartSendsToTheProgramsOwnDrive)
{
    m_run.m_strArgument.clear();
    m_run.m_strDriveLetter.clear();
    wchar_t programDrive = plug::GetModuleDirectory()[0];
    m_core.SCSI_ModeChange();
    std::vector<SimCommand> commands = m_sim.Commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(programDrive, commands[0].drive);
}

TEST_F(ModeChangeTest, CdStartWithoutDevpokeBesideTheProgramWarnsAndSendsNothing)
{
    m_run.m_strArgument.clear();
    m_run.m_strDriveLetter.clear();
    ScopedLanguageFile language([] {
        auto values = StandardLanguage();
        values[L"STR_STRING_ERROR_CANNOT_FIND_SCSIDLL"] = L"no device library";
        return values;
    }());
    // The library is loaded already: moving it aside only hides it from the check.
    std::wstring library = plug::GetModuleDirectory() + L"Devpoke.dll";
    std::wstring aside = library + L".aside";
    ASSERT_TRUE(::MoveFileW(library.c_str(), aside.c_str()));
    int result = m_core.SCSI_ModeChange();
    ::MoveFileW(aside.c_str(), library.c_str());

    EXPECT_EQ(-2, result);
    EXPECT_FALSE(m_run.m_bModeChanged);
    EXPECT_TRUE(m_sim.Commands().empty());
    ASSERT_EQ(1u, m_boxes.Count());
    EXPECT_EQ(L"no device library", m_boxes.Boxes()[0].text);
    EXPECT_EQ(L"Test Installer", m_boxes.Boxes()[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION | MB_OK), m_boxes.Boxes()[0].style);
}

namespace {
std::vector<std::wstring> g_calls;
int __cdecl DeniedDevice(int letter, int first, int second, unsigned char* answer, int length)
{
    g_calls.push_back(std::wstring(1, static_cast<wchar_t>(letter)) + L" " + std::to_wstring(first) + L" " +
                      std::to_wstring(second) + L" " + std::to_wstring(length) + (answer ? L" buffer" : L" none"));
    return -20;
}
} // namespace

// The device seam: an access-denied own drive returns -20 to the caller, which takes the
// service route itself; the mode change does not ask the service for it.
TEST_F(ModeChangeTest, AccessDeniedOnTheOwnDriveIsLeftToTheCaller)
{
    g_calls.clear();
    plug::SetDevpokeFunction(&DeniedDevice);
    FakePipeServer service(FakePipeServer::Behaviour::Reply, Utf16Message(u"0", 4));
    int result = m_core.SCSI_ModeChange();
    plug::SetDevpokeFunction(nullptr);

    EXPECT_EQ(-20, result);
    EXPECT_EQ((std::vector<std::wstring>{L"R 1 1 0 buffer", L"R 1 129 1 buffer"}), g_calls);
    EXPECT_TRUE(service.Requests().empty());
    EXPECT_TRUE(m_sim.Commands().empty());
}
