// The main dialog run modally in this process, as the program runs it: the simulated device on
// R:, the stand-ins for the setups and the kit's program, message boxes recorded. Its worker is
// held where a test wants it: in a driver setup that waits for a file, or in the launch poll,
// whose first round waits until the dialog's own thread sleeps (in the cancel wait).
#include "CoreTestSupport.h"

#include "common/ChildProcess.h"
#include "common/StandIns.h"
#include "core/PhoneData.h"
#include "framework/Handle.h"
#include "res/resource.h"
#include "workflow/PlugstartDlg.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

using namespace plugtest;

namespace {

const UINT_PTR kTestTimer = 4711;
const UINT kKeysMessage = WM_APP + 40;   // post the keys to the focused control, then the marker
const UINT kMarkerMessage = WM_APP + 41; // everything posted before it has been handled
const wchar_t kRunningNotice[] = L"Norvo Installer is running.\nExit the program and connect the mobile phone again.";

// The sleeps of the program while a test runs its dialog. The worker's first poll round parks it
// until the dialog's own thread sleeps, which it does only in the cancel wait: each of the
// dialog's sleeps lets the parked worker go and lasts until the worker's thread has ended (at
// most a minute), taking the messages sent to the dialog's thread meanwhile as the cancel wait
// does, so that one round is enough on any machine. Every other sleep returns at once (the
// test's InstantSleep counts them).
class PollSleeps {
public:
    explicit PollSleeps(InstantSleep& sleeps) : m_sleeps(sleeps)
    {
        m_sleeps.OnSleep([this](size_t, DWORD milliseconds) { Pause(milliseconds); });
    }
    ~PollSleeps()
    {
        ::SetEvent(m_release.Get());
        m_sleeps.OnSleep(nullptr);
        // A cancel wait that runs out of rounds ends the worker by force wherever it is (in the
        // middle of a trace or an allocation, whose lock then stays taken for the rest of the
        // test program): every cancel here must see the worker end within its first round.
        EXPECT_LE(m_dialogSleeps, 1) << "the cancel's first round ended before the worker";
    }
    PollSleeps(const PollSleeps&) = delete;
    PollSleeps& operator=(const PollSleeps&) = delete;

    bool IsWorkerParked() const { return ::WaitForSingleObject(m_parked.Get(), 0) == WAIT_OBJECT_0; }
    int PollRounds() const { return m_pollRounds; }
    int DialogSleeps() const { return m_dialogSleeps; }

private:
    void Pause(DWORD milliseconds)
    {
        if (::GetCurrentThreadId() == m_dialogThread) {
            ++m_dialogSleeps;
            ::SetEvent(m_release.Get());
            if (IsWorkerParked())
                WaitHandlingSentMessages(m_worker.Get(), 60000);
        } else if (milliseconds == 1000 && ++m_pollRounds == 1) {
            m_worker = plug::UniqueHandle(::OpenThread(SYNCHRONIZE, FALSE, ::GetCurrentThreadId()));
            ::SetEvent(m_parked.Get());
            ::WaitForSingleObject(m_release.Get(), 60000);
        }
    }
    static void WaitHandlingSentMessages(HANDLE object, DWORD timeoutMs)
    {
        const DWORD started = ::GetTickCount();
        for (DWORD elapsed = 0; elapsed < timeoutMs; elapsed = ::GetTickCount() - started) {
            if (::MsgWaitForMultipleObjects(1, &object, FALSE, timeoutMs - elapsed, QS_SENDMESSAGE) !=
                WAIT_OBJECT_0 + 1)
                return;
            MSG message;
            ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE); // handles the sent ones
        }
    }

    InstantSleep& m_sleeps;
    DWORD m_dialogThread = ::GetCurrentThreadId();
    plug::UniqueHandle m_parked{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    plug::UniqueHandle m_release{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    plug::UniqueHandle m_worker; // the parked worker's thread, set before it parks
    std::atomic<int> m_pollRounds{0};
    std::atomic<int> m_dialogSleeps{0};
};

// The main dialog with a test timer (every 20 ms while it runs), what it showed and traced.
class TestMainDlg : public CPlugstartDlg {
public:
    std::function<void(TestMainDlg&)> onTick;
    std::function<void(TestMainDlg&)> onMarker;
    std::atomic<bool> everShown{false};
    std::atomic<bool> markerSeen{false};
    HWND window = nullptr;           // the dialog's window while it ran
    std::atomic<int> noticeTicks{0}; // ticks of the already-running notice's timer handled
    std::atomic<int> notices{0};     // same-device notices received
    std::atomic<DWORD> lastNoticeSize{0};

    void StartFromPc(const std::wstring& letter)
    {
        StartFacts facts;
        facts.m_strArgument = L"-l " + letter;
        facts.m_strDriveLetter = letter;
        facts.m_bVistaOS = TRUE; // no command service in these runs
        SetStart(facts, nullptr);
    }
    HWND Window() const { return m_hWnd; }
    // The record of the dialog's run, and two of its fields by their own names.
    RunState& Record() { return m_run; }
    SharedFlag& m_bLaunchingITK = m_run.m_bLaunchingITK;
    const ResDefineCommand& m_OtherResDefineCommand = m_run.m_OtherResDefineCommand;
    using CPlugstartDlg::m_hOtherAutoRun;
    using CPlugstartDlg::m_bModeChangeOnExit;
    using CPlugstartDlg::StageFromCd;
    bool Traced(const std::wstring& part)
    {
        std::lock_guard<std::mutex> guard(m_traceLock);
        for (const std::wstring& text : m_traces) {
            if (text.find(part) != std::wstring::npos)
                return true;
        }
        return false;
    }

protected:
    BOOL OnInitDialog() override
    {
        window = m_hWnd;
        BOOL result = CPlugstartDlg::OnInitDialog();
        ::SetTimer(m_hWnd, kTestTimer, 20, nullptr);
        return result;
    }
    void Trace(const std::wstring& text, bool startNew) override
    {
        {
            std::lock_guard<std::mutex> guard(m_traceLock);
            m_traces.push_back(text);
        }
        CPlugstartDlg::Trace(text, startNew);
    }
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if ((message == WM_SHOWWINDOW && wParam) ||
            (message == WM_WINDOWPOSCHANGED && (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW)))
            everShown = true;
        if (message == WM_TIMER && wParam == kTestTimer) {
            if (::IsWindowVisible(m_hWnd))
                everShown = true;
            if (onTick)
                onTick(*this);
            return TRUE;
        }
        if (message == WM_TIMER && wParam == 6000) {
            BOOL handled = CPlugstartDlg::OnMessage(message, wParam, lParam, result);
            ++noticeTicks;
            return handled;
        }
        if (message == WM_COPYDATA) {
            const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            if (data && data->dwData == COPYDATA_ID_SAME_DEVICE) {
                lastNoticeSize = data->cbData;
                ++notices;
            }
        }
        if (message == kKeysMessage) {
            HWND focus = ::GetFocus();
            HWND target = focus ? focus : m_hWnd;
            for (WPARAM key : {VK_ESCAPE, VK_RETURN, VK_SPACE}) {
                ::PostMessageW(target, WM_KEYDOWN, key, 0);
                ::PostMessageW(target, WM_KEYUP, key, 0);
                ::PostMessageW(m_hWnd, WM_KEYDOWN, key, 0);
                ::PostMessageW(m_hWnd, WM_SYSKEYDOWN, key, 0);
            }
            ::PostMessageW(m_hWnd, kMarkerMessage, 0, 0);
            return TRUE;
        }
        if (message == kMarkerMessage) {
            markerSeen = true;
            if (onMarker)
                onMarker(*this);
            return TRUE;
        }
        return CPlugstartDlg::OnMessage(message, wParam, lParam, result);
    }

private:
    std::mutex m_traceLock;
    std::vector<std::wstring> m_traces;
};

void PostCancel(HWND dialog) { ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); }

class MainDialogTest : public CoreTest {
protected:
    MainDialogTest()
    {
        WriteConfig(Configuration());
        // The device answers with a zero wait, so the poll's rounds are the worker's only sleeps.
        sim::DeviceState device;
        device.replyBytes[1] = 0;
        device.replyBytes[2] = 0;
        m_sim.SetState(L'R', device);
    }

    static ConfigValues Configuration(const std::wstring& kitType = L"0")
    {
        return {
            {L"DRIVER",
             {{L"driver_name", L"DriverSetup.exe"}, {L"driver_version", L"1.0.0.0"}, {L"driver_autouninstall", L"1"}}},
            {L"ITK", {{L"itk_type", kitType}, {L"itk_version", L"2.0.0.0"}, {L"itk_run_file", L"Vtp.exe"}}}};
    }
    // The operator's kit, installed and current; its program is the stand-in kit program.
    void OperatorKitInstalled()
    {
        m_install.RegisterProduct(kVtpKitCode, false, L"2.0.0.0");
        std::wstring folder = ProgramFilesFolder() + L"Vodafone\\Via The Phone\\";
        m_install.files.MakeFolder(folder);
        m_install.files.Claim(folder + L"Vtp.exe");
        PlaceStandIn(L"SimKitProgram", folder, L"Vtp.exe");
    }
    // A driver setup that waits until ReleaseSetup.
    void LingeringDriverSetup()
    {
        Place(L"SimDriverSetup", L"DriverSetup.exe");
        m_standIns.Script(L"driver_setup", L"wait_for_file", m_release.Path());
    }
    void ReleaseSetup() { WriteBinaryFile(m_release.Path(), "go"); }
    // Runs dialog for R: (the driver package and the kit there) until its worker is held in the
    // launch poll; then, from another thread, as another instance would, send sends its messages
    // to the dialog's window, and the dialog is cancelled. The dialog's end code.
    INT_PTR RunWithMessagesFromAnotherInstance(TestMainDlg& dialog, const std::function<void(HWND)>& send)
    {
        DriverPackageOnly();
        OperatorKitInstalled();
        PollSleeps sleeps(m_sleeps);
        dialog.StartFromPc(L"R");
        std::thread sender;
        dialog.onTick = [&](TestMainDlg& self) {
            if (sender.joinable() || !sleeps.IsWorkerParked())
                return;
            HWND window = self.Window();
            sender = std::thread([&send, window] {
                send(window);
                PostCancel(window);
            });
        };
        INT_PTR result = dialog.DoModal();
        if (sender.joinable())
            sender.join();
        return result;
    }

    ScopedStandIns m_standIns;
    TempDir m_folder;
    ScopedFile m_release{m_folder.File(L"release")};
};

} // namespace

namespace {

// The windows made on this thread while a hook is set.
int g_windowsMade = 0;
LRESULT CALLBACK CountWindowsMade(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND)
        ++g_windowsMade;
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

TEST_F(MainDialogTest, EverythingInstalledRunsSynchronouslyWithoutAWindow)
{
    m_install.InstallQctDriver(L"1.0.0.0");
    OperatorKitInstalled();
    TestMainDlg dialog;
    dialog.StartFromPc(L"R");
    g_windowsMade = 0;
    HHOOK hook = ::SetWindowsHookExW(WH_CBT, &CountWindowsMade, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(nullptr, hook);
    EXPECT_EQ(1, dialog.DoModal());
    ::UnhookWindowsHookEx(hook);
    EXPECT_EQ(1, g_windowsMade) << "the dialog's buttons are made only for a window that shows";
    EXPECT_FALSE(dialog.everShown);
    EXPECT_TRUE(ModeChanged());
    EXPECT_EQ(FALSE, dialog.Record().m_ResDefineCommand.bInstallDrv);
    EXPECT_EQ(FALSE, dialog.Record().m_ResDefineCommand.bInstallITK);
    EXPECT_TRUE(m_standIns.WaitForAction(L"Vtp.exe", L"exit"));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(MainDialogTest, EnterEscapeAndSpaceNeverCloseIt)
{
    DriverPackageOnly();
    OperatorKitInstalled();
    PollSleeps sleeps(m_sleeps);
    TestMainDlg dialog;
    dialog.StartFromPc(L"R");
    bool keysSent = false;
    dialog.onTick = [&](TestMainDlg& self) {
        if (!keysSent && sleeps.IsWorkerParked()) {
            keysSent = true; // the worker is in the launch poll: nothing runs that refuses a cancel
            ::PostMessageW(self.Window(), kKeysMessage, 0, 0);
        }
    };
    dialog.onMarker = [](TestMainDlg& self) { PostCancel(self.Window()); };
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_TRUE(dialog.markerSeen) << "the keys closed the dialog";
    EXPECT_TRUE(dialog.everShown);
}

TEST_F(MainDialogTest, CancelDuringTheLaunchPollEndsTheDialogWithinARound)
{
    DriverPackageOnly();
    OperatorKitInstalled();
    PollSleeps sleeps(m_sleeps);
    TestMainDlg dialog;
    dialog.StartFromPc(L"R");
    bool cancelled = false;
    dialog.onTick = [&](TestMainDlg& self) {
        if (!cancelled && sleeps.IsWorkerParked()) {
            cancelled = true;
            EXPECT_TRUE(self.m_bLaunchingITK);
            PostCancel(self.Window());
        }
    };
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ(1, sleeps.PollRounds());
    EXPECT_EQ(1, sleeps.DialogSleeps()) << "the worker did not end within the cancel's first round";
    EXPECT_FALSE(dialog.m_bLaunchingITK);
    EXPECT_TRUE(dialog.Traced(L"[m_bThreadEnd == TRUE (4)]")) << "the worker stopped by itself";
    EXPECT_FALSE(dialog.IsWorkerRunning());
    EXPECT_TRUE(m_standIns.ActionsOf(L"Vtp.exe").empty()) << "nothing is launched";
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(MainDialogTest, CancelWhileADriverSetupRunsIsRefusedAndTheWorkerStopsAfterIt)
{
    DriverPackageOnly();
    OperatorKitInstalled();
    // Not current: the driver setup runs.
    WriteConfig([] {
        ConfigValues values = Configuration();
        values[L"DRIVER"][L"driver_version"] = L"1.0.0.1";
        return values;
    }());
    LingeringDriverSetup();
    TestMainDlg dialog;
    dialog.StartFromPc(L"R");
    int stage = 0;
    dialog.onTick = [&](TestMainDlg& self) {
        if (stage == 0 && self.Record().m_bInstallingDrv &&
            m_standIns.WaitForAction(L"DriverSetup.exe", L"waiting", 0)) {
            stage = 1;
            PostCancel(self.Window());
        } else if (stage == 1) {
            stage = 2; // the cancel has been handled: still open
            EXPECT_TRUE(self.Record().m_bThreadEnd);
            EXPECT_TRUE(self.Record().m_bInstallingDrv);
            EXPECT_TRUE(self.IsWorkerRunning());
            ReleaseSetup();
        }
    };
    EXPECT_EQ(0, dialog.DoModal()) << "ended by its worker, not by the cancel";
    EXPECT_EQ(2, stage);
    EXPECT_TRUE(dialog.Traced(L"return [if(m_bInstallingDrv == TRUE || m_bInstallingITK == TRUE)]"));
    EXPECT_TRUE(dialog.Traced(L"[m_bThreadEnd == TRUE (1)]"));
    EXPECT_EQ(L"exit 0", m_standIns.ActionsOf(L"DriverSetup.exe").back()) << "the setup was not interrupted";
    EXPECT_TRUE(Boxes().empty());
    // The worker stopped before the mode change; the dialog's end sent it.
    EXPECT_TRUE(ModeChanged());
}

// Ending the service deployment by force could leave a half-registered service: a cancel meanwhile
// is refused like one during a setup, and the worker stops after the deployment.
TEST_F(MainDialogTest, CancelWhileTheCommandServiceIsDeployedIsRefusedAndTheWorkerStopsAfterIt)
{
    DriverPackageOnly();
    OperatorKitInstalled();
    plug::UniqueHandle parked(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    plug::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const DWORD dialogThread = ::GetCurrentThreadId();
    // The deployment's own pause after the removal tool holds the worker until the test lets it go.
    m_sleeps.OnSleep([&](size_t, DWORD milliseconds) {
        if (::GetCurrentThreadId() != dialogThread && milliseconds == 3000) {
            ::SetEvent(parked.Get());
            ::WaitForSingleObject(release.Get(), 60000);
        }
    });
    TestMainDlg dialog;
    dialog.StartFromPc(L"R");
    dialog.Record().m_bVistaOS = FALSE; // before Vista the operator's kit needs the command service
    int stage = 0;
    dialog.onTick = [&](TestMainDlg& self) {
        if (stage == 0 && ::WaitForSingleObject(parked.Get(), 0) == WAIT_OBJECT_0) {
            stage = 1;
            EXPECT_TRUE(self.Record().m_bInstallingSVC);
            PostCancel(self.Window());
        } else if (stage == 1) {
            stage = 2; // the cancel has been handled: still open
            EXPECT_TRUE(self.Record().m_bThreadEnd);
            EXPECT_TRUE(self.IsWorkerRunning());
            ::SetEvent(release.Get());
        }
    };
    INT_PTR result = dialog.DoModal();
    ::SetEvent(release.Get());
    m_sleeps.OnSleep(nullptr);
    EXPECT_EQ(0, result) << "ended by its worker, not by the cancel";
    EXPECT_EQ(2, stage);
    EXPECT_TRUE(dialog.Traced(L"[m_bThreadEnd == TRUE (0)]")) << "the worker stopped right after the deployment";
    EXPECT_TRUE(ModeChanged());
}

TEST_F(MainDialogTest, ConnectionManagerRunsHidden)
{
    WriteConfig(Configuration(L"3"));
    m_install.InstallQctDriver(L"1.0.0.0"); // the manager is missing, and its setup is named nowhere
    TestMainDlg dialog;
    dialog.StartFromPc(L"R");
    EXPECT_EQ(0, dialog.DoModal());
    EXPECT_FALSE(dialog.everShown);
    std::vector<RecordedBox> boxes = m_boxes.Boxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(L"STR_STRING_ERROR_ITK_FILENAME_EMPTY", boxes[0].text);
    EXPECT_EQ(L"STR_STRING_PCSUITE_NOT_INSTALL (Norvo Connection Manager)", boxes[1].text);
    for (const RecordedBox& box : boxes) {
        EXPECT_EQ(dialog.window, box.owner) << "owned by the hidden dialog";
        EXPECT_NE(::GetCurrentThreadId(), box.threadId) << "shown by the worker";
    }
    EXPECT_TRUE(ModeChanged()) << "sent when the dialog ended";
}

TEST_F(MainDialogTest, FailedCheckStillSwitchesTheDeviceWhenTheDialogEnds)
{
    sim::DeviceState failing; // the phone-setting query fails, the mode change works
    failing.fail = -3;
    failing.failOn = L"0220";
    m_sim.SetState(L'R', failing);
    TestMainDlg dialog;
    dialog.StartFromPc(L"R");
    EXPECT_EQ(0, dialog.DoModal());
    EXPECT_FALSE(dialog.everShown);
    ASSERT_EQ(1u, m_boxes.Count());
    EXPECT_EQ(L"STR_STRING_ERROR_SCSI_2_0", m_boxes.Boxes()[0].text);
    EXPECT_EQ(dialog.window, m_boxes.Boxes()[0].owner);
    EXPECT_EQ((std::vector<std::wstring>{L"R F1 02 20 00 00 00", L"R F1 01 01 00 00 00"}), DeviceCommands());
    EXPECT_TRUE(ModeChanged());
}

// A staging dialog whose window cannot be made (here: no dialog template where the program's
// resources are looked for) ends the CD start at once with the staging's failure message, never
// with a minute's wait for a flag that only the dialog's own thread could set.
TEST_F(MainDialogTest, StagingDialogThatCannotBeMadeEndsTheCdStartAtOnceWithTheStagingFailure)
{
    TestMainDlg dialog;                                       // a CD start: no "-l"
    dialog.Record().m_ResDefineCommand.bInstalledDrv = FALSE; // the driver is to be installed: staging is needed
    CDialog::SetResourceModule(::GetModuleHandleW(L"kernel32"));
    const DWORD started = ::GetTickCount();
    BOOL proceed = dialog.StageFromCd();
    const DWORD elapsed = ::GetTickCount() - started;
    CDialog::SetResourceModule(nullptr);

    EXPECT_FALSE(proceed) << "the CD instance must end, not do the job itself";
    EXPECT_TRUE(m_sleeps.Sleeps().empty()) << m_sleeps.Sleeps().size() << " sleeps, " << m_sleeps.TotalMs() << " ms";
    EXPECT_LT(elapsed, 5000u);
    std::vector<RecordedBox> boxes = m_boxes.Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"STR_STRING_APP_INIT_FAILED_000", boxes[0].text);
    EXPECT_EQ(nullptr, boxes[0].owner) << "like the staging's own failures";
    EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION | MB_OK), boxes[0].style);
}

// --- Messages from other instances ---

namespace {

// Sends WM_COPYDATA to window from another thread of this process, as another instance would.
LRESULT SendCopyData(HWND window, ULONG_PTR id, DWORD size, const void* data)
{
    COPYDATASTRUCT message = {id, size, const_cast<void*>(data)};
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&message), SMTO_ABORTIFHUNG, 10000, &result);
    return static_cast<LRESULT>(result);
}

} // namespace

TEST_F(MainDialogTest, HostileProfileRepliesAreIgnoredAndOnlyAValidOneIsTaken)
{
    TestMainDlg dialog;
    std::vector<std::wstring> seen; // strDrive of the other profile after each message
    EXPECT_EQ(IDCANCEL, RunWithMessagesFromAnotherInstance(dialog, [&](HWND window) {
                  std::vector<uint8_t> big(1 << 20, 0x41);
                  for (DWORD size : {0u, 1u, 2099u, 2101u, 1u << 20}) {
                      SendCopyData(window, 0, size, big.data()); // a payload of the wrong size
                      seen.push_back(dialog.m_OtherResDefineCommand.strDrive);
                      SendCopyData(window, 7, size, nullptr); // no payload at all: not a reply
                      seen.push_back(dialog.m_OtherResDefineCommand.strDrive);
                  }
                  ResDefineCommand valid;
                  valid.strDrive = L"S:\\";
                  valid.nITKType = TYPE_CM_DCM;
                  std::vector<uint8_t> payload = plug::EncodePhoneData(valid);
                  SendCopyData(window, 0, static_cast<DWORD>(payload.size()), payload.data());
                  seen.push_back(dialog.m_OtherResDefineCommand.strDrive);
                  for (size_t i = 20; i < payload.size(); ++i)
                      payload[i] = 0x5A; // texts without a zero anywhere
                  SendCopyData(window, 0, static_cast<DWORD>(payload.size()), payload.data());
                  seen.push_back(std::to_wstring(dialog.m_OtherResDefineCommand.strDrive.size()));
              }));
    std::vector<std::wstring> expected(10, L"");
    expected.push_back(L"S:\\");
    expected.push_back(L"259");
    EXPECT_EQ(expected, seen);
    EXPECT_EQ(TYPE_CM_DCM, dialog.m_OtherResDefineCommand.nITKType) << "kept from the valid reply";
}

TEST_F(MainDialogTest, SameDeviceNoticeShowsTheRunningMessageOnlyWhenAskedTo)
{
    TestMainDlg dialog;
    size_t boxesAfterSilentNotice = 99;
    EXPECT_EQ(IDCANCEL, RunWithMessagesFromAnotherInstance(dialog, [&](HWND window) {
                  auto waitForTicks = [&](int ticks) {
                      for (int i = 0; i < 1000 && dialog.noticeTicks < ticks; ++i)
                          ::Sleep(10);
                  };
                  SendCopyData(window, COPYDATA_ID_SAME_DEVICE, 0, nullptr);
                  waitForTicks(1);
                  boxesAfterSilentNotice = m_boxes.Count();
                  SendCopyData(window, COPYDATA_ID_SAME_DEVICE, 1, nullptr);
                  waitForTicks(2);
              }));
    EXPECT_EQ(2, dialog.noticeTicks);
    EXPECT_EQ(0u, boxesAfterSilentNotice);
    std::vector<RecordedBox> boxes = m_boxes.Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kRunningNotice, boxes[0].text);
    EXPECT_EQ(L"Test Installer", boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION | MB_OK), boxes[0].style);
    EXPECT_EQ(dialog.window, boxes[0].owner);
}

// An instance whose window no longer answers cannot hold this one up: the profile request gives
// up (after 30 s at most) and this instance runs as if it were alone.
TEST_F(MainDialogTest, HungOtherInstanceIsGivenUpOnAndThisOneRunsAlone)
{
    m_install.InstallQctDriver(L"1.0.0.0");
    OperatorKitInstalled();
    plug::UniqueHandle ready(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    plug::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HWND hung = nullptr;
    std::thread other([&] {
        hung = ::CreateWindowExW(0, L"STATIC", L"other", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ::SetEvent(ready.Get());
        ::WaitForSingleObject(release.Get(), 120000); // takes no messages meanwhile
        ::DestroyWindow(hung);
    });
    ::WaitForSingleObject(ready.Get(), 10000);
    TestMainDlg dialog;
    dialog.StartFromPc(L"R");
    dialog.m_hOtherAutoRun = hung;
    INT_PTR result = dialog.DoModal();
    ::SetEvent(release.Get());
    other.join();
    EXPECT_EQ(1, result) << "the synchronous run of an instance alone";
    EXPECT_EQ(L"", dialog.m_OtherResDefineCommand.strDrive);
    EXPECT_TRUE(ModeChanged());
}

namespace {

// A window of a thread that stays away from its messages: it takes the messages sent to it only
// when TakeSentMessages is called, and records whether a profile came among them.
class BusyRequester {
public:
    BusyRequester()
        : m_window(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr))
    {
        ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        ::SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
    }
    ~BusyRequester() { ::DestroyWindow(m_window); }
    BusyRequester(const BusyRequester&) = delete;
    BusyRequester& operator=(const BusyRequester&) = delete;

    HWND Window() const { return m_window; }
    bool HasSentMessages() const { return (HIWORD(::GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0; }
    void TakeSentMessages()
    {
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    bool ProfileReceived() const { return m_profileReceived; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<BusyRequester*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (message == WM_COPYDATA && self && data && data->lpData && data->cbData == plug::kPhoneDataBytes)
            self->m_profileReceived = true;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    HWND m_window;
    bool m_profileReceived = false;
};

} // namespace

// Windows counts a window as hung when its thread has not looked at its messages for five
// seconds and is not waiting for them: a second instance whose start took that long, caught
// between sending its request and waiting for the answer. The profile still reaches it once it
// looks at its messages again.
TEST_F(MainDialogTest, ProfileReachesARequesterThatLooksAtItsMessagesOnlyLater)
{
    DriverPackageOnly();
    OperatorKitInstalled();
    PollSleeps sleeps(m_sleeps);
    TestMainDlg dialog;
    dialog.StartFromPc(L"R");
    std::thread requester;
    std::atomic<bool> profileReceived{false};
    dialog.onTick = [&](TestMainDlg& self) {
        if (requester.joinable() || !sleeps.IsWorkerParked())
            return;
        HWND window = self.Window();
        requester = std::thread([&, window] {
            BusyRequester busy;
            ::Sleep(5500); // away from its messages for longer than Windows' five seconds
            std::atomic<bool> requestAnswered{false};
            std::thread sender([&] {
                COPYDATASTRUCT request = {0, 0, nullptr};
                DWORD_PTR result = 0;
                ::SendMessageTimeoutW(window, WM_COPYDATA, reinterpret_cast<WPARAM>(busy.Window()),
                                      reinterpret_cast<LPARAM>(&request), SMTO_NORMAL, 60000, &result);
                requestAnswered = true;
            });
            // The dialog answers while this thread still does not wait for its messages.
            while (!requestAnswered && !busy.HasSentMessages())
                ::Sleep(10);
            busy.TakeSentMessages();
            sender.join();
            profileReceived = busy.ProfileReceived();
            PostCancel(window);
        });
    };
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    requester.join();
    EXPECT_TRUE(profileReceived) << "the answer to the profile request was dropped";
}

// A second instance runs in a child process: the real dialog for drive R with its worker held in
// a lingering driver setup. Arguments: the answer file. It writes the texts of its message boxes.
PLUGTEST_CHILD_MODE(running_main_dialog)
{
    if (arguments.empty())
        return 2;
    ScopedLanguageFile language(KeyLanguage());
    MessageBoxRecorder boxes;
    int result = 0;
    int notices = 0;
    {
        TestMainDlg dialog;
        dialog.StartFromPc(L"R");
        result = static_cast<int>(dialog.DoModal());
        notices = dialog.notices;
    }
    std::wstring answer;
    for (const RecordedBox& box : boxes.Boxes())
        answer += box.text + L"|";
    WriteChildAnswer(arguments[0], std::to_wstring(notices) + L" notice|" + answer);
    return result;
}

namespace {

struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK TakeVisibleWindowOfProcess(HWND window, LPARAM parameter)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && ::IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindVisibleWindowOf(DWORD processId)
{
    WindowSearch search = {processId, nullptr};
    ::EnumWindows(&TakeVisibleWindowOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The visible window of processId once it has one (ten seconds at most), or nullptr.
HWND WaitForVisibleWindowOf(DWORD processId)
{
    HWND window = nullptr;
    for (int attempt = 0; attempt < 500 && !window; ++attempt) {
        window = FindVisibleWindowOf(processId);
        if (!window)
            ::Sleep(20);
    }
    return window;
}

} // namespace

TEST_F(MainDialogTest, SecondInstanceForTheSameDriveHandsOverToTheFirst)
{
    OperatorKitInstalled();
    LingeringDriverSetup();
    std::wstring answerFile = m_folder.File(L"answer.txt");
    ChildProcess first = ChildProcess::StartMode(L"running_main_dialog", L"\"" + answerFile + L"\"");
    ASSERT_TRUE(m_standIns.WaitForAction(L"DriverSetup.exe", L"waiting"));
    HWND firstWindow = WaitForVisibleWindowOf(first.ProcessId());
    ASSERT_NE(nullptr, firstWindow);

    WriteConfig(Configuration(L"1")); // this instance's kit differs from the first one's
    TestMainDlg second;
    second.StartFromPc(L"R");
    second.m_hOtherAutoRun = firstWindow;
    EXPECT_EQ(0, second.DoModal());
    EXPECT_FALSE(second.everShown);
    EXPECT_EQ(L"R", second.m_OtherResDefineCommand.strDrive);
    EXPECT_EQ(ITKTYPE_VTP, second.m_OtherResDefineCommand.nITKType);
    EXPECT_EQ(L"DriverSetup.exe", second.m_OtherResDefineCommand.strDrvSetupFilename);
    EXPECT_EQ(FALSE, second.m_bModeChangeOnExit);
    // Each instance asked the device; neither switched it: the first one will.
    EXPECT_EQ(std::vector<std::wstring>(2, L"R F1 02 20 00 00 00"), DeviceCommands());

    WriteConfig(Configuration());
    ReleaseSetup();
    EXPECT_EQ(0, first.Wait(60000));
    std::string bytes = ReadBinaryFile(answerFile);
    std::wstring answer(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    // The first instance got the same-device notice. Whether it then shows the already-running
    // message depends on the notice's cbData, which this Wine does not carry across processes
    // when lpData is NULL (it arrives as 0): the message itself is tested within one process.
    EXPECT_EQ(0u, answer.find(L"1 notice|")) << answer;
}

// --- Messages that other processes post ---

// The real dialog for drive R in a child process, its worker held in a lingering driver setup.
// Arguments: the answer file and an event set at each marker message. It answers how the dialog
// ended: its code, whether its worker had ended by then, and whether a stop was requested.
PLUGTEST_CHILD_MODE(held_main_dialog)
{
    if (arguments.size() != 2)
        return 2;
    ScopedLanguageFile language(KeyLanguage());
    MessageBoxRecorder boxes;
    plug::UniqueHandle marker(::OpenEventW(EVENT_MODIFY_STATE, FALSE, arguments[1].c_str()));
    std::wstring answer;
    {
        TestMainDlg dialog;
        dialog.StartFromPc(L"R");
        dialog.onMarker = [&marker](TestMainDlg&) { ::SetEvent(marker.Get()); };
        INT_PTR result = dialog.DoModal();
        bool workerEnded = !dialog.IsWorkerRunning();
        answer = L"result=" + std::to_wstring(result) + L" worker=" + (workerEnded ? L"ended" : L"running") +
                 L" stop=" + std::to_wstring(static_cast<int>(dialog.Record().m_bThreadEnd));
    }
    WriteChildAnswer(arguments[0], answer);
    return 0;
}

namespace {

struct ForeignMessage {
    const char* name;
    UINT message;
    WPARAM wParam;
    const wchar_t* answer; // what the dialog's process tells at its end
};

void PrintTo(const ForeignMessage& row, std::ostream* out) { *out << row.name; }

// A main dialog in another process whose driver setup waits until ReleaseSetup; the dialog's
// process writes its answer (result, worker, stop request) to a file at its end, and signals the
// marker event for each kMarkerMessage it handles.
class HeldMainDialogTest : public MainDialogTest {
protected:
    void StartHeldDialog()
    {
        OperatorKitInstalled();
        LingeringDriverSetup();
        const std::wstring markerName = L"PlugstartTest.Marker." + std::to_wstring(::GetCurrentProcessId());
        m_marker = plug::UniqueHandle(::CreateEventW(nullptr, FALSE, FALSE, markerName.c_str()));
        m_held = ChildProcess::StartMode(L"held_main_dialog", L"\"" + m_answerFile + L"\" " + markerName);
        ASSERT_TRUE(m_standIns.WaitForAction(L"DriverSetup.exe", L"waiting"));
        m_window = WaitForVisibleWindowOf(m_held.ProcessId());
        ASSERT_NE(nullptr, m_window);
    }
    // Lets the setup end, waits for the dialog's process and returns its answer.
    std::wstring ReleaseAndTakeAnswer()
    {
        ReleaseSetup();
        EXPECT_EQ(0, m_held.Wait(120000));
        const std::string bytes = ReadBinaryFile(m_answerFile);
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    }

    const std::wstring m_answerFile = m_folder.File(L"answer.txt");
    plug::UniqueHandle m_marker;
    ChildProcess m_held;
    HWND m_window = nullptr;
};

class ForeignMessageTest : public HeldMainDialogTest, public ::testing::WithParamInterface<ForeignMessage> {};

} // namespace

// Another process posts a message that would end a dialog while the worker waits for a setup:
// the dialog takes the Cancel path (refused during the setup: the worker stops after it) or
// ignores it, and it ends only after its worker, by its own timer.
TEST_P(ForeignMessageTest, DoesNotEndTheDialogWhileItsWorkerRuns)
{
    const ForeignMessage& row = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartHeldDialog());

    ASSERT_TRUE(::PostMessageW(m_window, row.message, row.wParam, 0));
    // Two rounds: what the message posts in turn (a WM_CLOSE posts the Cancel command) is handled too.
    int markersSeen = 0;
    for (int round = 0; round < 2; ++round) {
        ::PostMessageW(m_window, kMarkerMessage, 0, 0);
        if (::WaitForSingleObject(m_marker.Get(), 10000) == WAIT_OBJECT_0)
            ++markersSeen;
    }
    EXPECT_EQ(2, markersSeen) << "the dialog ended on the message";
    EXPECT_TRUE(::IsWindow(m_window));

    EXPECT_EQ(std::wstring(row.answer), ReleaseAndTakeAnswer());
}

// A quit message that another program posts leaves the modal loop itself. The closing window
// must not switch the device while its worker still waits for the setup (the device library's
// calls must not overlap): the worker stops after the setup, then the window switches it.
TEST_F(HeldMainDialogTest, QuitMessageLetsTheWorkerEndBeforeTheClosingWindowSwitchesTheDevice)
{
    ASSERT_NO_FATAL_FAILURE(StartHeldDialog());
    const std::vector<std::wstring> query{L"R F1 02 20 00 00 00"};
    ASSERT_EQ(query, DeviceCommands());

    ASSERT_TRUE(::PostMessageW(m_window, WM_QUIT, 0, 0));
    for (int round = 0; round < 50 && DeviceCommands() == query; ++round)
        ::Sleep(100); // a window that did not wait would switch the device now
    EXPECT_EQ(query, DeviceCommands()) << "the device was switched while the setup still ran";

    EXPECT_EQ(std::wstring(L"result=-1 worker=ended stop=1"), ReleaseAndTakeAnswer());
    EXPECT_EQ((std::vector<std::wstring>{L"R F1 02 20 00 00 00", L"R F1 01 01 00 00 00"}), DeviceCommands());
}

INSTANTIATE_TEST_SUITE_P(MainDialogTest, ForeignMessageTest,
                         ::testing::Values(ForeignMessage{"OK command", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                                                          L"result=0 worker=ended stop=0"},
                                           ForeignMessage{"WM_CLOSE", WM_CLOSE, 0, L"result=0 worker=ended stop=1"},
                                           ForeignMessage{"SC_CLOSE", WM_SYSCOMMAND, SC_CLOSE,
                                                          L"result=0 worker=ended stop=1"}),
                         [](const ::testing::TestParamInfo<ForeignMessage>& info) {
                             std::string name = info.param.name;
                             for (char& c : name) {
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             }
                             return name;
                         });
