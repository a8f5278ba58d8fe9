// ServiceControl against a stand-in service on the pipe: the request it writes, the answer it
// reads from both replies, its 101 connection attempts and its bounded wait for a reply.
#include "common/FakePipeServer.h"
#include "common/InstantSleep.h"
#include "devpoke/DevpokeRequest.h"
#include "config/ModulePath.h"
#include "framework/Handle.h"
#include "framework/SleepSeam.h"
#include "common/FakeRunHost.h"
#include "core/PlugstartRun.h"

#include <gtest/gtest.h>

#include <ios>
#include <optional>
#include <string>
#include <vector>

using plugtest::FakePipeServer;
using plugtest::FakeRunHost;
using plugtest::PhoneReply;
using plugtest::Utf16Message;

namespace {

std::vector<DWORD> g_sleeps;

void RecordSleep(DWORD milliseconds) { g_sleeps.push_back(milliseconds); }

class ServiceControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_run.m_bVistaOS = FALSE;
        m_run.m_strArgument = L"-l F";
        m_run.m_strDriveLetter = L"F";
        g_sleeps.clear();
    }
    void TearDown() override { plug::SetSleepHandler(nullptr); }

    // Waits are counted instead of slept; only for services that never answer (a stand-in that
    // answers may not have answered before an instant poll gives up).
    void CountSleepsInstead() { plug::SetSleepHandler(&RecordSleep); }

    RunState m_run;
    FakeRunHost m_host;
    CPlugstartRun m_core{m_run, m_host};
};

} // namespace

TEST_F(ServiceControlTest, PhoneSettingReplyIsAnsweredWithItsResultAndBytes)
{
    FakePipeServer service(FakePipeServer::Behaviour::Reply, PhoneReply(3, 0x4C, 0x07, 0xD0));
    ASSERT_TRUE(service.IsListening());

    std::optional<ServiceAnswer> answer = m_core.Service().ServiceControl(USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO);
    ASSERT_TRUE(answer);
    EXPECT_EQ(3, answer->nResult);
    EXPECT_EQ(0x4C, answer->byData[0]);
    EXPECT_EQ(0x07, answer->byData[1]);
    EXPECT_EQ(0xD0, answer->byData[2]);
    // Started with "-l F": the request names F, whatever drive the program runs from.
    ASSERT_EQ(1u, service.Requests().size());
    EXPECT_EQ(Utf16Message(u"AUTORUNSERVICE_GETPHONESET\\F", 260), service.Requests()[0]);
}

TEST_F(ServiceControlTest, ModeChangeRequestAtACdStartNamesTheProgramsDrive)
{
    m_run.m_strArgument.clear();
    m_run.m_strDriveLetter.clear();
    FakePipeServer service(FakePipeServer::Behaviour::Reply, Utf16Message(u"-2", 6));
    std::optional<ServiceAnswer> answer = m_core.Service().ServiceControl(USER_SERVICE_CONTROL_SEND_PHONE_MODE);
    ASSERT_TRUE(answer);
    EXPECT_EQ(-2, answer->nResult);
    std::u16string expected = u"AUTORUNSERVICE_MODECHANGE\\";
    expected += static_cast<char16_t>(plug::GetModuleDirectory()[0]);
    ASSERT_EQ(1u, service.Requests().size());
    EXPECT_EQ(Utf16Message(expected, 260), service.Requests()[0]);

    EXPECT_FALSE(m_core.Service().ServiceControl(130)); // no such request: nothing is sent
    EXPECT_EQ(1u, service.Requests().size());
}

// A full 260-byte reply without a terminating zero: all of it is read, and nothing beyond it.
TEST_F(ServiceControlTest, UnterminatedFullLengthModeChangeReplyIsReadWithinItsBytes)
{
    FakePipeServer service(FakePipeServer::Behaviour::Reply, Utf16Message(std::u16string(129, u' ') + u"4", 260));
    std::optional<ServiceAnswer> answer = m_core.Service().ServiceControl(USER_SERVICE_CONTROL_SEND_PHONE_MODE);
    ASSERT_TRUE(answer);
    EXPECT_EQ(4, answer->nResult);
    EXPECT_EQ(0, answer->byData[0] | answer->byData[1] | answer->byData[2]) << "the mode change has no answer bytes";
}

// A request that got no answer is a failed call: the callers get no result to read.
TEST_F(ServiceControlTest, ServiceClosingWithoutReplyFailsWithoutAnAnswer)
{
    FakePipeServer service(FakePipeServer::Behaviour::CloseWithoutReply);
    EXPECT_FALSE(m_core.Service().ServiceControl(USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO));
    EXPECT_FALSE(m_core.Service().ServiceControl(USER_SERVICE_CONTROL_SEND_PHONE_MODE));
    EXPECT_EQ(2u, service.Requests().size());
}

// Fewer bytes than the result field would make a result of part of one: no reply.
TEST_F(ServiceControlTest, PhoneSettingReplyShorterThanItsResultIsNoReply)
{
    FakePipeServer service(FakePipeServer::Behaviour::Reply, std::string("\x03\x00", 2));
    EXPECT_FALSE(m_core.Service().ServiceControl(USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO));
}

// A reply with its result but not all of its answer bytes: the bytes that did not arrive are
// answered as zeros, never as whatever the memory held.
TEST_F(ServiceControlTest, PhoneSettingReplyWithoutAllItsBytesAnswersZerosForTheMissingOnes)
{
    FakePipeServer service(FakePipeServer::Behaviour::Reply, PhoneReply(3, 0x4C, 0x07, 0xD0).substr(0, 5));
    std::optional<ServiceAnswer> answer = m_core.Service().ServiceControl(USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO);
    ASSERT_TRUE(answer);
    EXPECT_EQ(3, answer->nResult);
    EXPECT_EQ(0x4C, answer->byData[0]);
    EXPECT_EQ(0, answer->byData[1]);
    EXPECT_EQ(0, answer->byData[2]);
}

// The service answers only when the device has: each vendor command may take the device's own
// time-out, and the mode change sends up to two (its first and second form).
TEST_F(ServiceControlTest, ServiceThatAnswersWithinTheDevicesOwnTimeOutIsWaitedFor)
{
    struct Case {
        DWORD control;
        DWORD answeredAfterMs; // how long the device took, as the client's waits count it
        std::string reply;
    };
    const DWORD deviceTimeOutMs = devpoke::kTimeOutSeconds * 1000;
    const Case cases[] = {
        {USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO, deviceTimeOutMs - 5000, PhoneReply(3, 0x4C, 0x07, 0xD0)},
        {USER_SERVICE_CONTROL_SEND_PHONE_MODE, 2 * deviceTimeOutMs - 5000, Utf16Message(u"0", 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        FakePipeServer service(FakePipeServer::Behaviour::ReplyWhenReleased, c.reply);
        plugtest::InstantSleep sleeps;
        sleeps.OnSleep([&](size_t, DWORD) {
            if (sleeps.TotalMs() >= c.answeredAfterMs)
                service.Release(); // the slow device is done: the reply is in the pipe now
        });
        std::optional<ServiceAnswer> answer = m_core.Service().ServiceControl(c.control);
        ASSERT_TRUE(answer) << "given up after " << sleeps.TotalMs() << " ms";
        EXPECT_EQ(c.control == USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO ? 3 : 0, answer->nResult);
    }
}

TEST_F(ServiceControlTest, SilentServiceIsGivenUpOnAfterTheDevicesTimeOutsAsAFailedCall)
{
    FakePipeServer service(FakePipeServer::Behaviour::Silent);
    CountSleepsInstead();
    EXPECT_FALSE(m_core.Service().ServiceControl(USER_SERVICE_CONTROL_SEND_PHONE_MODE));
    DWORD waited = 0;
    for (DWORD sleep : g_sleeps)
        waited += sleep;
    const DWORD bothForms = 2 * devpoke::kTimeOutSeconds * 1000;
    EXPECT_GT(waited, bothForms);
    EXPECT_LE(waited, bothForms + 60000u) << "a bound with a margin, not for ever";
}

TEST_F(ServiceControlTest, MissingPipeIsTriedExactly101Times)
{
    CountSleepsInstead();
    EXPECT_FALSE(m_core.Service().ServiceControl(USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO));
    EXPECT_EQ(std::vector<DWORD>(101, 100), g_sleeps);
}

TEST_F(ServiceControlTest, VistaAndLaterNeverTouchThePipe)
{
    FakePipeServer service(FakePipeServer::Behaviour::Reply, PhoneReply(3, 1, 2, 3));
    CountSleepsInstead();
    m_run.m_bVistaOS = TRUE;
    EXPECT_FALSE(m_core.Service().ServiceControl(USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO));
    EXPECT_FALSE(m_core.Service().ServiceControl(USER_SERVICE_CONTROL_SEND_PHONE_MODE));
    EXPECT_TRUE(g_sleeps.empty());

    plug::SetSleepHandler(nullptr);
    m_run.m_bVistaOS = FALSE; // the stand-in was there all along: it sees only this request
    EXPECT_TRUE(m_core.Service().ServiceControl(USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO));
    EXPECT_EQ(1u, service.Requests().size());
}

// --- How far the service may act as the client ---

namespace {

using CreateFileFunction = HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
CreateFileFunction g_createFile = nullptr;
std::vector<DWORD> g_pipeOpenFlags; // the flags of each pipe opened meanwhile

HANDLE WINAPI RecordPipeOpen(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                             DWORD flags, HANDLE model)
{
    if (name && std::wstring(name).compare(0, 9, L"\\\\.\\pipe\\") == 0)
        g_pipeOpenFlags.push_back(flags);
    return g_createFile(name, access, share, security, disposition, flags, model);
}

// The slot of this program's import table that holds function, or nullptr.
void** ImportSlotOf(void* function)
{
    BYTE* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto module = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         module->Name != 0; ++module) {
        for (auto slot = reinterpret_cast<void**>(base + module->FirstThunk); *slot; ++slot) {
            if (*slot == function)
                return slot;
        }
    }
    return nullptr;
}

// While it lives, every CreateFileW call of this program (the pipe client is linked into it)
// goes through RecordPipeOpen.
class PipeOpenRecorder {
public:
    PipeOpenRecorder()
    {
        g_pipeOpenFlags.clear();
        void* original = reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "CreateFileW"));
        m_slot = ImportSlotOf(original);
        if (m_slot) {
            g_createFile = reinterpret_cast<CreateFileFunction>(original);
            Swap(reinterpret_cast<void*>(&RecordPipeOpen));
        }
    }
    ~PipeOpenRecorder()
    {
        if (m_slot)
            Swap(reinterpret_cast<void*>(g_createFile));
    }
    PipeOpenRecorder(const PipeOpenRecorder&) = delete;
    PipeOpenRecorder& operator=(const PipeOpenRecorder&) = delete;
    bool IsRecording() const { return m_slot != nullptr; }

private:
    void Swap(void* function)
    {
        DWORD previous = 0;
        ::VirtualProtect(m_slot, sizeof(*m_slot), PAGE_READWRITE, &previous);
        *m_slot = function;
        ::VirtualProtect(m_slot, sizeof(*m_slot), previous, &previous);
    }

    void** m_slot = nullptr;
};

// Opens the pipe as a client that allows identification only, sends a request and waits until
// the server has tried to act as it. The level it reached, or -2 when it never tried.
int LevelGrantedToAnIdentifyOnlyClient(const FakePipeServer& server)
{
    plug::UniqueFile client(::CreateFileW(plug::kServicePipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
    if (!client)
        return -2;
    std::string request = Utf16Message(u"AUTORUNSERVICE_GETPHONESET\\F", 260);
    DWORD written = 0;
    ::WriteFile(client.Get(), request.data(), static_cast<DWORD>(request.size()), &written, nullptr);
    for (int wait = 0; wait < 200 && server.ImpersonationLevels().empty(); ++wait)
        ::Sleep(50);
    return server.ImpersonationLevels().empty() ? -2 : server.ImpersonationLevels()[0];
}

} // namespace

// A process that created the pipe name before the service must not be able to act as the user:
// the client opens the pipe allowing the server to identify it, nothing more.
TEST_F(ServiceControlTest, ClientOpensThePipeForIdentificationOnly)
{
    FakePipeServer service(FakePipeServer::Behaviour::Reply, PhoneReply(3, 1, 2, 3));
    PipeOpenRecorder recorder;
    ASSERT_TRUE(recorder.IsRecording());
    EXPECT_TRUE(m_core.Service().ServiceControl(USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO));
    ASSERT_EQ(1u, g_pipeOpenFlags.size());
    const DWORD flags = g_pipeOpenFlags[0];
    EXPECT_TRUE(flags & SECURITY_SQOS_PRESENT) << std::hex << flags;
    EXPECT_EQ(static_cast<DWORD>(SECURITY_IDENTIFICATION), flags & SECURITY_DELEGATION) << std::hex << flags;
}

TEST_F(ServiceControlTest, ServerCannotActAsTheClient)
{
    {
        FakePipeServer probe(FakePipeServer::Behaviour::Silent);
        int level = LevelGrantedToAnIdentifyOnlyClient(probe);
        ASSERT_NE(-2, level);
        if (level > SecurityIdentification)
            GTEST_SKIP() << "this host lets a pipe server act as its client whatever the client allows "
                            "(Wine ignores the client's security quality of service)";
    }
    FakePipeServer service(FakePipeServer::Behaviour::Reply, PhoneReply(3, 1, 2, 3));
    EXPECT_TRUE(m_core.Service().ServiceControl(USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO));
    ASSERT_EQ(1u, service.ImpersonationLevels().size());
    EXPECT_LE(service.ImpersonationLevels()[0], static_cast<int>(SecurityIdentification));
}
