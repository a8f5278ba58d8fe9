// The framework layer: modal dialogs and their loop, worker threads, handle owners, the trace.
#include "common/ChildProcess.h"
#include "common/InstantSleep.h"
#include "common/TestFiles.h"
#include "framework/Dialog.h"
#include "framework/DialogTemplate.h"
#include "framework/Handle.h"
#include "framework/ProcessStart.h"
#include "framework/StringFormat.h"
#include "framework/Thread.h"
#include "framework/Trace.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>

using namespace plugtest;

namespace {

const UINT_PTR kScriptTimer = 77;

// A dialog on the main template that runs a script of posted messages from a timer and
// records what it saw.
class ScriptedDialog : public CDialog {
public:
    ScriptedDialog() : CDialog(IDD_PLUGSTART_DIALOG) {}

    int endInInit = -1;       // >= 0: EndDialog(endInInit) inside OnInitDialog
    std::vector<MSG> script;  // posted to the dialog, one per timer tick
    bool swallowKeys = false; // PreTranslateMessage swallows key-downs
    bool everShown = false;
    bool destroyed = false;
    int ticksAfterScript = 0;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (endInInit >= 0)
            EndDialog(endInInit);
        else
            ::SetTimer(m_hWnd, kScriptTimer, 20, nullptr);
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* message) override { return swallowKeys && message->message == WM_KEYDOWN; }
    void OnDestroy() override { destroyed = true; }
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (message == WM_SHOWWINDOW && wParam)
            everShown = true;
        if (message == WM_TIMER && wParam == kScriptTimer) {
            if (m_next < script.size()) {
                const MSG& step = script[m_next++];
                ::PostMessageW(step.hwnd ? step.hwnd : m_hWnd, step.message, step.wParam, step.lParam);
            } else if (++ticksAfterScript > 5) {
                EndDialog(1234); // the script did not end the dialog
            }
            return TRUE;
        }
        return CDialog::OnMessage(message, wParam, lParam, result);
    }

private:
    size_t m_next = 0;
};

MSG Post(UINT message, WPARAM wParam, LPARAM lParam = 0)
{
    MSG step = {};
    step.message = message;
    step.wParam = wParam;
    step.lParam = lParam;
    return step;
}

} // namespace

namespace {

// Every window that is given the focus on this thread while a hook is set.
std::vector<HWND> g_focused;
LRESULT CALLBACK RecordFocus(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_SETFOCUS && wParam)
        g_focused.push_back(reinterpret_cast<HWND>(wParam));
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

// A dialog that ends in its initialisation is never seen: neither shown nor given the focus
// (which would activate it and cost the start a window activation for nothing).
TEST(ModalDialog, EndingInInitDialogNeverShowsTheWindow)
{
    ScriptedDialog dialog;
    dialog.endInInit = 5;
    g_focused.clear();
    HHOOK hook = ::SetWindowsHookExW(WH_CBT, &RecordFocus, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(nullptr, hook);
    INT_PTR code = dialog.DoModal();
    ::UnhookWindowsHookEx(hook);
    EXPECT_EQ(5, code);
    EXPECT_FALSE(dialog.everShown);
    EXPECT_TRUE(dialog.destroyed);
    EXPECT_EQ(nullptr, dialog.m_hWnd);
    EXPECT_TRUE(g_focused.empty()) << g_focused.size() << " windows were given the focus";
}

TEST(ModalDialog, CancelButtonEndsWithIdCancel)
{
    ScriptedDialog dialog;
    dialog.script = {Post(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED))};
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_TRUE(dialog.everShown);
}

TEST(ModalDialog, EscapeReachesTheDialogManagerUnlessPreTranslateSwallowsIt)
{
    ScriptedDialog plain;
    plain.script = {Post(WM_KEYDOWN, VK_ESCAPE)};
    EXPECT_EQ(IDCANCEL, plain.DoModal());

    ScriptedDialog guarded;
    guarded.swallowKeys = true;
    guarded.script = {Post(WM_KEYDOWN, VK_ESCAPE), Post(WM_KEYDOWN, VK_RETURN)};
    EXPECT_EQ(1234, guarded.DoModal()); // still open when the script ran out
}

TEST(ModalDialog, MissingTemplateFailsWithoutAWindow)
{
    CDialog dialog(4242);
    EXPECT_EQ(-1, dialog.DoModal());
}

TEST(ModalDialog, ParentIsDisabledWhileTheDialogRunsAndEnabledAfter)
{
    struct Parent : CDialog {
        Parent() : CDialog(IDD_PLUGSTART_DIALOG) {}
        bool disabledDuringChild = false;
        bool enabledAfterChild = false;
        BOOL OnInitDialog() override
        {
            struct Child : ScriptedDialog {
                HWND parent = nullptr;
                bool parentDisabled = false;
                BOOL OnInitDialog() override
                {
                    parentDisabled = !::IsWindowEnabled(parent);
                    return ScriptedDialog::OnInitDialog();
                }
            } child;
            child.m_pParentWnd = this;
            child.parent = m_hWnd;
            child.endInInit = 2;
            child.DoModal();
            disabledDuringChild = child.parentDisabled;
            enabledAfterChild = ::IsWindowEnabled(m_hWnd) != FALSE;
            EndDialog(1);
            return TRUE;
        }
    } parent;
    EXPECT_EQ(1, parent.DoModal());
    EXPECT_TRUE(parent.disabledDuringChild);
    EXPECT_TRUE(parent.enabledAfterChild);
}

namespace {

// Fonts alike up to their face name's end: the rest of the name's buffer is whatever the system
// left there (under 64-bit Wine it differs from one copy to the next).
bool SameFont(const LOGFONTW& one, const LOGFONTW& other)
{
    return std::memcmp(&one, &other, offsetof(LOGFONTW, lfFaceName)) == 0 &&
           std::wcscmp(one.lfFaceName, other.lfFaceName) == 0;
}

// What tells one set of controls from another: each control in the Z order with its class, id,
// text, styles, place in the dialog and font.
struct ControlLook {
    std::wstring className;
    std::wstring text;
    LONG_PTR id = 0;
    LONG_PTR style = 0;
    LONG_PTR exStyle = 0;
    RECT place = {};
    LOGFONTW font = {};
    bool operator==(const ControlLook& other) const
    {
        return className == other.className && text == other.text && id == other.id && style == other.style &&
               exStyle == other.exStyle && ::EqualRect(&place, &other.place) && SameFont(font, other.font);
    }
};

std::vector<ControlLook> ControlsOf(HWND dialog)
{
    std::vector<ControlLook> controls;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        ControlLook look;
        wchar_t text[256] = {};
        ::GetClassNameW(child, text, 256);
        look.className = text;
        ::GetWindowTextW(child, text, 256);
        look.text = text;
        look.id = ::GetWindowLongPtrW(child, GWLP_ID);
        look.style = ::GetWindowLongPtrW(child, GWL_STYLE);
        look.exStyle = ::GetWindowLongPtrW(child, GWL_EXSTYLE);
        ::GetWindowRect(child, &look.place);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&look.place), 2);
        HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageW(child, WM_GETFONT, 0, 0));
        if (font)
            ::GetObjectW(font, sizeof(look.font), &look.font);
        controls.push_back(look);
    }
    return controls;
}

// A dialog that looks at its controls in OnInitDialog before and after CreateControls, with
// one control bound to an object.
class ControlsDialog : public CDialog {
public:
    ControlsDialog(UINT templateId, int boundId, bool defer) : CDialog(templateId), m_boundId(boundId)
    {
        if (defer)
            DeferControls();
    }

    std::vector<ControlLook> before;
    std::vector<ControlLook> after;
    BOOL made = FALSE;
    bool bound = false; // the bound control's object had its window after CreateControls

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        before = ControlsOf(m_hWnd);
        made = CreateControls();
        after = ControlsOf(m_hWnd);
        bound = m_bound.m_hWnd != nullptr;
        EndDialog(1);
        return TRUE;
    }
    void DoDataExchange() override { DDX_Control(m_boundId, m_bound); }

private:
    int m_boundId;
    CWnd m_bound;
};

std::vector<BYTE> TemplateResource(UINT id)
{
    HRSRC resource = ::FindResourceW(CDialog::ResourceModule(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
    const BYTE* data = static_cast<const BYTE*>(::LockResource(::LoadResource(CDialog::ResourceModule(), resource)));
    return data ? std::vector<BYTE>(data, data + ::SizeofResource(CDialog::ResourceModule(), resource))
                : std::vector<BYTE>();
}

} // namespace

// A dialog may make the controls of its template after its window (a window that ends unseen
// then never makes them): they come out as the dialog manager makes them, and are bound.
TEST(ModalDialog, DeferredControlsAreMadeAsTheDialogManagerMakesThem)
{
    const struct {
        UINT templateId;
        int boundId;
    } templates[] = {{IDD_PLUGSTART_DIALOG, IDC_MAIN_EXIT},
                     {IDD_INIT_DIALOG, IDC_INIT_CANCEL},
                     {IDD_CDWEBINSTALLER_DIALOG, IDC_GUIDE_DOWNLOAD}};
    for (const auto& dialogTemplate : templates) {
        SCOPED_TRACE(dialogTemplate.templateId);
        ControlsDialog whole(dialogTemplate.templateId, dialogTemplate.boundId, false);
        ControlsDialog deferred(dialogTemplate.templateId, dialogTemplate.boundId, true);
        ASSERT_EQ(1, whole.DoModal());
        ASSERT_EQ(1, deferred.DoModal());

        EXPECT_FALSE(whole.after.empty());
        EXPECT_TRUE(whole.before == whole.after) << "made with the window: nothing is made again";
        EXPECT_TRUE(deferred.before.empty()) << deferred.before.size() << " controls made with the window";
        EXPECT_TRUE(deferred.made);
        EXPECT_TRUE(deferred.after == whole.after) << "the controls differ from the dialog manager's";
        EXPECT_TRUE(whole.bound);
        EXPECT_TRUE(deferred.bound);
    }
}

// A template cut short anywhere is refused, never read past its end (the dialog then makes its
// controls with its window, as the dialog manager reads the template).
TEST(ModalDialog, TemplateCutShortIsNotReadForControls)
{
    const std::vector<BYTE> whole = TemplateResource(IDD_PLUGSTART_DIALOG);
    std::vector<plug::DialogControl> controls;
    ASSERT_TRUE(plug::ReadDialogControls(whole, controls));
    ASSERT_EQ(8u, controls.size());
    EXPECT_STREQ(L"Button", controls[0].className);
    EXPECT_STREQ(L"Cancel", controls[0].title);
    EXPECT_EQ(static_cast<DWORD>(IDCANCEL), controls[0].id);

    // The last control ends with its creation data count, which the resource may pad to a
    // DWORD: every cut before that count is refused.
    for (size_t length = 0; length + 2 < whole.size(); ++length) {
        std::vector<BYTE> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_FALSE(plug::ReadDialogControls(cut, controls)) << "cut to " << length << " bytes";
    }
}

TEST(WorkerThread, OwnerKeepsAValidHandleAfterTheThreadEnded)
{
    std::unique_ptr<CWinThread> thread = AfxBeginThread([](LPVOID) -> UINT { return 7; }, nullptr);
    ASSERT_NE(nullptr, thread);
    ASSERT_TRUE(thread->Join(10000));
    DWORD code = 0;
    EXPECT_TRUE(thread->GetExitCode(&code)); // the handle outlives the thread
    EXPECT_EQ(7u, code);
}

TEST(WorkerThread, CancelWaitEndsWhenTheWorkerFinishesOrTerminatesAfterTheLastSleep)
{
    plugtest::InstantSleep sleeps;
    struct Events {
        plug::UniqueHandle started{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
        plug::UniqueHandle never{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    } events;
    auto waitForever = [](LPVOID parameter) -> UINT {
        auto* worker = static_cast<Events*>(parameter);
        ::SetEvent(worker->started.Get());
        ::WaitForSingleObject(worker->never.Get(), INFINITE);
        return 0;
    };

    // A worker that finishes during the third sleep: no termination, three sleeps of a second.
    std::unique_ptr<CWinThread> finishing = AfxBeginThread(waitForever, &events);
    ASSERT_NE(nullptr, finishing);
    // The worker is in its wait before the sleeps (which take no time here) begin: Wine may crash
    // the whole process when a thread is terminated while it is still starting, as a busy host
    // would otherwise have it.
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(events.started.Get(), 10000)) << "the worker never started";
    int polls = 0;
    EXPECT_TRUE(plug::WaitForWorkerOrTerminate(
        *finishing, [&polls] { return ++polls <= 3; }, 62, 1000));
    EXPECT_EQ((std::vector<DWORD>{1000, 1000, 1000}), sleeps.Sleeps());
    DWORD code = 0;
    EXPECT_TRUE(finishing->GetExitCode(&code));
    EXPECT_EQ(STILL_ACTIVE, code);

    // A stuck worker: 62 sleeps, then it is terminated and gone.
    sleeps.Clear();
    EXPECT_FALSE(plug::WaitForWorkerOrTerminate(
        *finishing, [] { return true; }, 62, 1000));
    EXPECT_EQ(62u, sleeps.Sleeps().size());
    EXPECT_TRUE(finishing->Join(0));
}

static volatile LONG g_appMessages = 0;

static LRESULT CALLBACK CountingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP)
        ::InterlockedIncrement(&g_appMessages);
    return ::DefWindowProcW(window, message, wParam, lParam);
}

PLUGTEST_CHILD_MODE(sleep_ms)
{
    ::Sleep(arguments.empty() ? 0 : static_cast<DWORD>(std::stoul(arguments[0])));
    return 0;
}

TEST(ProcessWait, DispatchesMessagesAndIgnoresInputUntilTheProcessEnds)
{
    // This thread gets a window message and key input while it waits: the message is
    // dispatched, and neither ends the wait before the child has ended.
    plugtest::ChildProcess child = plugtest::ChildProcess::StartMode(L"sleep_ms", L"1500");
    ASSERT_TRUE(child.IsStarted());
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingWindowProc));
    ::PostMessageW(window, WM_APP, 0, 0);
    ::PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(plug::WaitForProcessEnd(child.Handle()));
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(child.Handle(), 0)); // it really ended
    EXPECT_EQ(1, g_appMessages);
    ::DestroyWindow(window);
}

TEST(ProcessWait, BoundedWaitGivesUpOnARunningProcess)
{
    plugtest::ChildProcess child = plugtest::ChildProcess::StartMode(L"sleep_ms", L"20000");
    ASSERT_TRUE(child.IsStarted());
    EXPECT_FALSE(plug::WaitForProcessEnd(child.Handle(), 200));
    EXPECT_NE(WAIT_OBJECT_0, ::WaitForSingleObject(child.Handle(), 0));
    EXPECT_FALSE(plug::WaitForProcessEnd(nullptr, 100)); // no process: no wait
}

TEST(HandleOwner, ClosesOnResetAndMovesOwnership)
{
    HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD flags = 0;
    {
        plug::UniqueHandle first(raw);
        plug::UniqueHandle second(std::move(first));
        EXPECT_FALSE(first.IsValid());
        EXPECT_EQ(raw, second.Get());
        EXPECT_TRUE(::GetHandleInformation(raw, &flags));
    }
    EXPECT_FALSE(::GetHandleInformation(raw, &flags)); // closed once the owner went

    plug::UniqueFile file; // empty means INVALID_HANDLE_VALUE for files
    EXPECT_FALSE(file.IsValid());
    EXPECT_EQ(INVALID_HANDLE_VALUE, file.Get());
    HANDLE kept = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    plug::UniqueHandle owner(kept);
    EXPECT_EQ(kept, owner.Detach());
    EXPECT_TRUE(::GetHandleInformation(kept, &flags));
    ::CloseHandle(kept);
}

TEST(StringFormat, LongResultsAreNotCut)
{
    std::wstring big(5000, L'x');
    std::wstring formatted = plug::FormatString(L"[%ls] %d %hs", big.c_str(), 42, "narrow");
    EXPECT_EQ(L"[" + big + L"] 42 narrow", formatted);
}

namespace {

// Sets (value not null) or removes an environment variable of this process, which children
// inherit, and puts the old value back at the end.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(const wchar_t* name, const wchar_t* value) : m_name(name)
    {
        wchar_t old[1024] = {};
        DWORD length = ::GetEnvironmentVariableW(name, old, 1024);
        m_hadValue = length > 0 && length < 1024;
        m_old = old;
        ::SetEnvironmentVariableW(name, value);
    }
    ~ScopedEnvironmentVariable() { ::SetEnvironmentVariableW(m_name.c_str(), m_hadValue ? m_old.c_str() : nullptr); }
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
    std::wstring m_name;
    std::wstring m_old;
    bool m_hadValue = false;
};

std::wstring ThisFolder()
{
    std::wstring path = ThisExecutable();
    return path.substr(0, path.rfind(L'\\') + 1);
}

// The texts of a timed trace without their stamps; false when a line lacks its
// "[<ms>.<3 digits> ms] " stamp or a stamp is earlier than the one before it.
bool StripTimeStamps(const std::string& log, std::string* texts)
{
    double previous = 0.0;
    size_t at = 0;
    while (at < log.size()) {
        size_t end = log.find('\n', at);
        end = end == std::string::npos ? log.size() : end + 1;
        std::string line = log.substr(at, end - at);
        double stamp = 0.0;
        int consumed = 0;
        char fraction[4] = {};
        if (std::sscanf(line.c_str(), "[%lf ms] %n", &stamp, &consumed) != 1 || consumed == 0 ||
            std::sscanf(line.c_str(), "[%*[0-9].%3[0-9] ms]", fraction) != 1 || std::strlen(fraction) != 3 ||
            stamp < previous)
            return false;
        previous = stamp;
        *texts += line.substr(static_cast<size_t>(consumed));
        at = end;
    }
    return true;
}

} // namespace

// The release build's sink (TraceProbe.exe beside this test) in a process of its own, with the
// temporary folder pointed at a folder of the test's.
TEST(TraceSink, ReleaseBuildWritesOnlyWhenTheSupportVariableIsSet)
{
    TempDir temp;
    std::wstring log = temp.File(L"Plugstart_trace.log");
    ScopedEnvironmentVariable tmp(L"TMP", temp.Path().c_str());
    ScopedEnvironmentVariable tempVariable(L"TEMP", temp.Path().c_str());
    enum class Written { No, Plain, Timed };
    struct Case {
        const wchar_t* value; // nullptr: not set
        Written written;
    };
    const std::string earlier = "earlier run\r\n";
    for (Case c :
         {Case{nullptr, Written::No}, Case{L"", Written::No}, Case{L"0", Written::No}, Case{L"1", Written::Plain},
          Case{L"yes", Written::Plain}, Case{L"time", Written::Timed}, Case{L"TIME", Written::Timed},
          Case{L"timed", Written::Plain}, Case{L"time-and-more", Written::Plain}}) {
        WriteBinaryFile(log, earlier);
        ScopedEnvironmentVariable variable(L"PLUGSTART_TRACE", c.value);
        ChildProcess probe = ChildProcess::Start(ThisFolder() + L"TraceProbe.exe", L"");
        const wchar_t* shown = c.value ? c.value : L"(not set)";
        ASSERT_EQ(c.written == Written::No ? 0 : 1, probe.Wait()) << shown;
        std::string written = ReadBinaryFile(log);
        if (c.written == Written::No) {
            EXPECT_EQ(earlier, written) << shown;
            continue;
        }
        if (c.written == Written::Plain) { // the new trace empties the log; no moments
            EXPECT_EQ("probe: first\r\nprobe: openprobe: second\r\n", written) << shown;
            continue;
        }
        // Timed: the log is kept, and every text and moment is on a line of its own, behind its stamp.
        ASSERT_EQ(earlier, written.substr(0, earlier.size())) << shown;
        std::string texts;
        EXPECT_TRUE(StripTimeStamps(written.substr(earlier.size()), &texts)) << shown << ": " << written;
        EXPECT_EQ("probe: first\r\nprobe: open\r\nmoment: probe\r\nprobe: second\r\n", texts) << shown;
    }
}

// Plugstart.exe's own reports of the C++ library's failures (too long, out of range, an empty
// function called) are exceptions that a catch (...) catches, as the auto-run's catch-all needs.
TEST(LibraryFailures, EveryFailureReachesACatchAll)
{
    ChildProcess probe = ChildProcess::Start(ThisFolder() + L"LibraryFailureProbe.exe", L"");
    ASSERT_TRUE(probe.IsStarted());
    EXPECT_EQ(0, probe.Wait()) << "failures not caught (or the probe's end code when it was ended)";
}

#ifdef PLUGSTART_TRACE
TEST(TraceSink, AppendsAndStartsANewLogOnRequest)
{
    wchar_t folder[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, folder);
    std::wstring log = std::wstring(folder) + L"Plugstart_trace.log";
    plug::Trace(L"first\r\n", true);
    plug::Trace(L"second \u00e9\r\n");
    EXPECT_EQ("first\r\nsecond \xC3\xA9\r\n", ReadBinaryFile(log));
    plug::Trace(L"new\r\n", true);
    EXPECT_EQ("new\r\n", ReadBinaryFile(log));
}

// The shell shows no box for a program that is not there: the trace keeps its name.
TEST(TraceSink, StartsThatFailNameTheProgram)
{
    wchar_t folder[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, folder);
    std::wstring log = std::wstring(folder) + L"Plugstart_trace.log";
    TempDir temp;
    const std::wstring waited = temp.File(L"MissingSetup.exe");
    const std::wstring launched = temp.File(L"MissingKit.exe");
    plug::Trace(L"", true);
    EXPECT_FALSE(plug::StartProgram(waited, L"", SW_SHOWNORMAL));
    EXPECT_FALSE(plug::LaunchProgram(launched, L"-aik"));
    std::string trace = ReadBinaryFile(log);
    EXPECT_NE(std::string::npos, trace.find(plug::ToUtf8(waited))) << trace;
    EXPECT_NE(std::string::npos, trace.find(plug::ToUtf8(launched))) << trace;
}
#endif
