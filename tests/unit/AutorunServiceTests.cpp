// NorvoAutorunService.exe installed as the service "Norvo SCSI Commander" through the service
// control manager of the test prefix, with the simulated device behind it.
#include "app/SystemInfo.h"
#include "common/ChildProcess.h"
#include "common/FakePipeServer.h"
#include "common/ServiceStates.h"
#include "common/SimDevice.h"
#include "config/ModulePath.h"
#include "framework/Handle.h"
#include "service/PipeProtocol.h"
#include "common/FakeRunHost.h"
#include "core/PlugstartRun.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

using namespace plugtest;

namespace {

const wchar_t kServiceName[] = L"Norvo SCSI Commander";

// What a raw client gets for one message.
struct Exchange {
    bool connected = false;
    bool closedWithoutReply = false;
    std::string reply;
    DWORD connectMs = 0;
};

plug::UniqueFile Connect(DWORD withinMs, DWORD* tookMs)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        plug::UniqueFile pipe(
            ::CreateFileW(plug::kServicePipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        *tookMs = ::GetTickCount() - start;
        if (pipe || *tookMs > withinMs)
            return pipe;
        ::Sleep(50);
    }
}

// Connects (retrying like Plugstart does), writes message in one write and waits up to 10 s for
// a reply or for the service to close the connection.
Exchange Send(const std::string& message, DWORD connectWithinMs = 10000)
{
    Exchange exchange;
    plug::UniqueFile pipe = Connect(connectWithinMs, &exchange.connectMs);
    exchange.connected = pipe.IsValid();
    if (!pipe)
        return exchange;
    DWORD written = 0;
    ::WriteFile(pipe.Get(), message.data(), static_cast<DWORD>(message.size()), &written, nullptr);
    for (int poll = 0; poll < 200; ++poll) {
        DWORD available = 0;
        if (!::PeekNamedPipe(pipe.Get(), nullptr, 0, nullptr, &available, nullptr)) {
            exchange.closedWithoutReply = true;
            return exchange;
        }
        if (available > 0) {
            char buffer[512];
            DWORD got = 0;
            ::ReadFile(pipe.Get(), buffer, sizeof(buffer), &got, nullptr);
            exchange.reply.assign(buffer, got);
            return exchange;
        }
        ::Sleep(50);
    }
    return exchange; // neither: the service held the connection open
}

std::string Request(const std::u16string& text) { return Utf16Message(text, 260); }

class AutorunServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_manager.Attach(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        ASSERT_TRUE(s_manager.IsValid());
        RemoveService();
        std::wstring executable = plug::GetModuleDirectory() + L"NorvoAutorunService.exe";
        s_service.Attach(::CreateServiceW(s_manager.Get(), kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                                          SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, SERVICE_DEMAND_START,
                                          SERVICE_ERROR_IGNORE, executable.c_str(), nullptr, nullptr, nullptr, nullptr,
                                          nullptr));
        ASSERT_TRUE(s_service.IsValid()) << ::GetLastError();
        ASSERT_TRUE(::StartServiceW(s_service.Get(), 0, nullptr)) << ::GetLastError();
        ASSERT_TRUE(WaitForState(s_service.Get(), SERVICE_RUNNING, 15000));
    }

    static void TearDownTestSuite()
    {
        RemoveService();
        s_service.Reset();
        s_manager.Reset();
    }

    static void RemoveService()
    {
        plug::UniqueSCHandle old(::OpenServiceW(s_manager.Get(), kServiceName, SERVICE_ALL_ACCESS));
        if (!old)
            return;
        SERVICE_STATUS status = {};
        ::ControlService(old.Get(), SERVICE_CONTROL_STOP, &status);
        WaitForState(old.Get(), SERVICE_STOPPED, 15000);
        ::DeleteService(old.Get());
    }

    void SetUp() override
    {
        sim::DeviceState deniedToUsers; // only the service may open the device
        deniedToUsers.denyDirect = true;
        deniedToUsers.replyBytes[0] = 0x4C;
        deniedToUsers.replyBytes[1] = 0x07;
        deniedToUsers.replyBytes[2] = 0xD0;
        m_sim.SetState(L'R', deniedToUsers);
    }

    static plug::UniqueSCHandle s_manager;
    static plug::UniqueSCHandle s_service;
    SimDevice m_sim;
};

plug::UniqueSCHandle AutorunServiceTest::s_manager;
plug::UniqueSCHandle AutorunServiceTest::s_service;

} // namespace

// Run in a copy of this test program that Wine presents as Windows XP: Plugstart's own pipe
// client asks both questions for drive R and prints what it learned.
PLUGTEST_CHILD_MODE(ask_service)
{
    (void)arguments;
    RunState run;
    run.m_bVistaOS = plug::IsVistaOS();
    run.m_strArgument = L"-l R";
    run.m_strDriveLetter = L"R";
    FakeRunHost host;
    CPlugstartRun core(run, host);
    std::optional<ServiceAnswer> phone = core.Service().ServiceControl(USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO);
    std::optional<ServiceAnswer> mode = core.Service().ServiceControl(USER_SERVICE_CONTROL_SEND_PHONE_MODE);
    const ServiceAnswer none;
    const ServiceAnswer& phoneAnswer = phone ? *phone : none;
    std::printf("vista=%d phone=%d result=%d data=%02X%02X%02X mode=%d result=%d", run.m_bVistaOS, phone.has_value(),
                phoneAnswer.nResult, phoneAnswer.byData[0], phoneAnswer.byData[1], phoneAnswer.byData[2],
                mode.has_value(), mode ? mode->nResult : none.nResult);
    std::fflush(stdout);
    return 0;
}

TEST_F(AutorunServiceTest, AnswersBothQuestionsForPlugstartOnWindowsXp)
{
    std::wstring xpCopy = CopyAsWindowsVersion(ThisExecutable(), L"winxp");
    std::string output;
    ASSERT_EQ(0, RunAndCapture(xpCopy, L"--child ask_service", &output, 60000));
    EXPECT_EQ("vista=0 phone=1 result=3 data=4C07D0 mode=1 result=0", output);

    std::vector<SimCommand> commands = m_sim.Commands();
    ASSERT_EQ(2u, commands.size());
    EXPECT_EQ(L"F1 02 20 00 00 00", commands[0].cdb);
    EXPECT_EQ(3, commands[0].length);
    EXPECT_EQ(L"F1 01 01 00 00 00", commands[1].cdb);
    EXPECT_EQ(0, commands[1].length);
    for (const SimCommand& command : commands) {
        EXPECT_EQ(L'R', command.drive);
        EXPECT_EQ(L"NorvoAutorunService.exe", command.process);
    }
    EXPECT_TRUE(m_sim.State(L'R').modemMode);
}

TEST_F(AutorunServiceTest, DeviceFailuresComeBackInTheReplies)
{
    sim::DeviceState broken;
    broken.fail = -3;
    m_sim.SetState(L'R', broken);
    Exchange phone = Send(Request(u"AUTORUNSERVICE_GETPHONESET\\R"));
    EXPECT_EQ(std::string("\xFD\xFF\xFF\xFF\0\0\0\0", 8), phone.reply);

    Exchange mode = Send(Request(u"AUTORUNSERVICE_MODECHANGE\\r"));
    EXPECT_EQ(Utf16Message(u"-3", 6), mode.reply);
    ASSERT_EQ(3u, m_sim.Commands().size()); // query, first and second form of the switch
    EXPECT_EQ(1, m_sim.Commands()[2].length);
}

// The service acts for any local user with system rights: it opens CD-ROM drives only. A fixed
// disk or a letter without a drive is "drive not found" (-1), and nothing is sent to it.
TEST_F(AutorunServiceTest, RequestsForDrivesThatAreNotCdromDrivesAreDriveNotFound)
{
    wchar_t missing = 0;
    const DWORD drives = ::GetLogicalDrives();
    for (wchar_t letter = L'Z'; letter >= L'D' && !missing; --letter) {
        if (!(drives & (1u << (letter - L'A'))))
            missing = letter;
    }
    ASSERT_NE(0, missing) << "every letter has a drive";
    ASSERT_EQ(static_cast<UINT>(DRIVE_FIXED), ::GetDriveTypeW(L"C:\\"));
    ASSERT_EQ(static_cast<UINT>(DRIVE_CDROM), ::GetDriveTypeW(L"R:\\"));

    struct Case {
        wchar_t letter;
        const char* what;
        bool served;
    };
    const Case cases[] = {{L'C', "fixed disk", false}, {missing, "no drive", false}, {L'R', "CD-ROM drive", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::u16string letter(1, static_cast<char16_t>(c.letter));
        Exchange phone = Send(Request(u"AUTORUNSERVICE_GETPHONESET\\" + letter));
        Exchange mode = Send(Request(u"AUTORUNSERVICE_MODECHANGE\\" + letter));
        if (c.served) {
            EXPECT_EQ(PhoneReply(3, 0x4C, 0x07, 0xD0), phone.reply);
            EXPECT_EQ(Utf16Message(u"0", 4), mode.reply);
        } else {
            EXPECT_EQ(PhoneReply(-1, 0, 0, 0), phone.reply);
            EXPECT_EQ(Utf16Message(u"-1", 6), mode.reply);
        }
    }
    std::vector<SimCommand> commands = m_sim.Commands();
    ASSERT_EQ(2u, commands.size()) << "only the CD-ROM drive got commands";
    for (const SimCommand& command : commands)
        EXPECT_EQ(L'R', command.drive);
}

TEST_F(AutorunServiceTest, MalformedRequestsAreClosedWithoutReplyAndServingGoesOn)
{
    const std::string good = Request(u"AUTORUNSERVICE_GETPHONESET\\R");
    const std::string hostile[] = {
        good.substr(0, 100),                      // short
        good + std::string(40, '\0'),             // oversized
        Request(u"AUTORUNSERVICE_GETPHONESET/R"), // no backslash
        Request(u"AUTORUNSERVICE_FORMAT\\R"),     // unknown keyword
        Request(u"AUTORUNSERVICE_MODECHANGE\\1"), // not a drive letter
    };
    for (size_t i = 0; i < sizeof(hostile) / sizeof(hostile[0]); ++i) {
        Exchange exchange = Send(hostile[i]);
        EXPECT_TRUE(exchange.connected) << "message " << i;
        EXPECT_TRUE(exchange.closedWithoutReply) << "message " << i;
        EXPECT_TRUE(exchange.reply.empty()) << "message " << i;
    }
    EXPECT_TRUE(m_sim.Commands().empty());

    Exchange answered = Send(good);
    EXPECT_EQ(8u, answered.reply.size());
    EXPECT_EQ(1u, m_sim.Commands().size());
}

TEST_F(AutorunServiceTest, SilentClientHoldsUpTheNextOneForAFewSecondsAtMost)
{
    DWORD tookMs = 0;
    plug::UniqueFile silent = Connect(10000, &tookMs);
    ASSERT_TRUE(silent.IsValid());
    Exchange next = Send(Request(u"AUTORUNSERVICE_GETPHONESET\\R"), 10000);
    EXPECT_TRUE(next.connected);
    EXPECT_LT(next.connectMs, 6000u);
    EXPECT_EQ(8u, next.reply.size());
}

TEST_F(AutorunServiceTest, CarriesAVersionBlock)
{
    std::wstring executable = plug::GetModuleDirectory() + L"NorvoAutorunService.exe";
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeW(executable.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(::GetFileVersionInfoW(executable.c_str(), 0, size, block.data()));
    wchar_t* version = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\FileVersion",
                                 reinterpret_cast<void**>(&version), &length));
    EXPECT_EQ(std::wstring(PLUGSTART_SERVICE_VERSION), std::wstring(version));
}

// Last: the stop control ends the service and takes the pipe away.
TEST_F(AutorunServiceTest, StopsOnTheStopControl)
{
    SERVICE_STATUS status = {};
    ASSERT_TRUE(::ControlService(s_service.Get(), SERVICE_CONTROL_STOP, &status));
    EXPECT_TRUE(WaitForState(s_service.Get(), SERVICE_STOPPED, 15000));
    ASSERT_TRUE(::QueryServiceStatus(s_service.Get(), &status));
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), status.dwWin32ExitCode); // stopped cleanly, not with an error
    DWORD tookMs = 0;
    EXPECT_FALSE(Connect(500, &tookMs).IsValid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), ::GetLastError());
}
