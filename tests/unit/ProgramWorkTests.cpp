// The wait for a started program's whole work: the program itself, then every process it
// started and they started, with real processes under a real job object or, where the program
// cannot join one, found by their parent's id.
//
// The processes live until the test writes the file they wait for, and the test writes it from
// inside the wait (a message the wait dispatches once a process has ended): what a test proves
// follows from the order of those events, whatever the machine's speed.
#include "common/ChildProcess.h"
#include "common/TestFiles.h"
#include "framework/Handle.h"
#include "framework/StartedProgram.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <atomic>
#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace plugtest;

namespace {

// The chain's links (ProcessChain.exe beside the test), each described by its arguments. A
// link's life (until) is a number of milliseconds or a file that ends it.
std::wstring ChainProgram()
{
    std::wstring self = ThisExecutable();
    return self.substr(0, self.rfind(L'\\') + 1) + L"ProcessChain.exe";
}

// Marks its start (a file, or "-" for none), lives until, marks its end and exits 7.
std::vector<std::wstring> Leaf(const std::wstring& startFile, const std::wstring& until, const std::wstring& endFile)
{
    return {L"leaf", startFile, until, endFile};
}

// Starts the link described by next, lives until, and exits with exitCode.
std::vector<std::wstring> Starter(const std::wstring& until, int exitCode, const std::vector<std::wstring>& next)
{
    std::vector<std::wstring> line = {L"starter", until, std::to_wstring(exitCode)};
    line.insert(line.end(), next.begin(), next.end());
    return line;
}

// Waits until file is there, then acts as link.
std::vector<std::wstring> After(const std::wstring& file, const std::vector<std::wstring>& link)
{
    std::vector<std::wstring> line = {L"after", file};
    line.insert(line.end(), link.begin(), link.end());
    return line;
}

std::wstring Parameters(const std::vector<std::wstring>& line)
{
    std::wstring parameters;
    for (const std::wstring& argument : line)
        parameters += (parameters.empty() ? L"\"" : L" \"") + argument + L"\"";
    return parameters;
}

DWORD ExitCodeOf(HANDLE process)
{
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    return code;
}

// Started through the shell as the program's setups are, and followed.
plug::StartedProgram StartThroughShell(const std::vector<std::wstring>& line)
{
    return plug::StartedProgram::Start(ChainProgram(), Parameters(line), SW_SHOWNORMAL);
}

// Started directly, without being followed.
ChildProcess StartDirectly(const std::vector<std::wstring>& line)
{
    return ChildProcess::Start(ChainProgram(), Parameters(line));
}

void Release(const std::wstring& file)
{
    if (!PathExists(file))
        WriteBinaryFile(file, "go");
}

// Waits until a link has marked file (at most a minute: a link that never does fails the test).
bool WaitUntilMarked(const std::wstring& file)
{
    for (int tries = 0; tries < 3000 && !PathExists(file); ++tries)
        ::Sleep(20);
    return PathExists(file);
}

ULONGLONG CreationTimeOf(HANDLE process)
{
    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    ::GetProcessTimes(process, &created, &exited, &kernel, &user);
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// A child of parent, opened to be waited for (a process older than parent that names its id is
// a child of an earlier owner of that id).
plug::UniqueHandle OpenChildOf(HANDLE parent)
{
    const DWORD parentId = ::GetProcessId(parent);
    const ULONGLONG parentCreated = CreationTimeOf(parent);
    plug::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = snapshot && ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ParentProcessID != parentId)
            continue;
        plug::UniqueHandle child(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, entry.th32ProcessID));
        if (child && CreationTimeOf(child.Get()) >= parentCreated)
            return child;
    }
    return plug::UniqueHandle();
}

// Acts from inside a wait that dispatches the waiting thread's messages: once a process has
// ended, a thread posts a message to a message-only window of the waiting thread, and the action
// runs when the wait dispatches it. An action run so proves that the wait still went on after
// that process's end; one that lets a process end proves that the wait outlasted that process.
class DuringTheWait {
public:
    // The window belongs to the calling thread: the one that is to wait.
    DuringTheWait()
        : m_window(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr)),
          m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        ::SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
    }
    ~DuringTheWait()
    {
        ::SetEvent(m_stop.Get());
        JoinPosters();
        MSG message; // what the wait did not dispatch is dropped
        while (::PeekMessageW(&message, m_window, 0, 0, PM_REMOVE)) {
        }
        ::DestroyWindow(m_window);
    }
    DuringTheWait(const DuringTheWait&) = delete;
    DuringTheWait& operator=(const DuringTheWait&) = delete;

    bool IsReady() const { return m_window != nullptr && m_stop.IsValid(); }
    // Called on the waiting thread (also from an action).
    void AfterTheEndOf(HANDLE process, std::function<void()> action)
    {
        HANDLE watched = nullptr;
        if (!::DuplicateHandle(::GetCurrentProcess(), process, ::GetCurrentProcess(), &watched, SYNCHRONIZE, FALSE, 0))
            return;
        m_watched.emplace_back(watched);
        m_actions.push_back(std::move(action));
        const WPARAM index = m_actions.size() - 1;
        const HANDLE handles[] = {watched, m_stop.Get()};
        HWND window = m_window;
        m_posters.emplace_back([handles, window, index] {
            if (::WaitForMultipleObjects(2, handles, FALSE, 60000) == WAIT_OBJECT_0)
                ::PostMessageW(window, WM_APP, index, 0);
        });
    }
    // Waits until each message is posted (or its process will not end).
    void JoinPosters()
    {
        for (std::thread& poster : m_posters) {
            if (poster.joinable())
                poster.join();
        }
    }
    int ActionsRun() const { return m_actionsRun; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<DuringTheWait*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_APP && self && wParam < self->m_actions.size()) {
            ++self->m_actionsRun;
            self->m_actions[wParam]();
            return 0;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    HWND m_window;
    plug::UniqueHandle m_stop;
    std::deque<plug::UniqueHandle> m_watched;
    std::deque<std::function<void()>> m_actions; // a deque: an action may add another
    std::deque<std::thread> m_posters;
    int m_actionsRun = 0;
};

} // namespace

TEST(ProgramWork, WaitsForAChildAndAGrandchildThatOutliveTheProgram)
{
    TempDir folder;
    const std::wstring release = folder.File(L"grandchild.release");
    const std::wstring end = folder.File(L"grandchild.end");
    // Once followed, the program ends at once (3), its child too (5) after starting the
    // grandchild, which ends (7) only when the wait lets it, after the program's end.
    const std::wstring go = folder.File(L"go");
    plug::StartedProgram program = StartThroughShell(
        After(go, Starter(L"0", 3, Starter(L"0", 5, Leaf(L"-", release, end)))));
    ASSERT_TRUE(program);
    EXPECT_TRUE(program.Family().InJob()) << "this Windows lets a started program join a job";
    Release(go);
    DuringTheWait during;
    ASSERT_TRUE(during.IsReady());
    during.AfterTheEndOf(program.Process(), [&] { Release(release); });
    plug::ProgramWait waited = plug::WaitForProgramWork(program, INFINITE, 30000);
    Release(release);
    EXPECT_TRUE(waited.programEnded);
    EXPECT_TRUE(waited.descendantsEnded);
    EXPECT_TRUE(PathExists(end)) << "the wait ended before the grandchild did";
    EXPECT_EQ(2u, waited.descendants);
    EXPECT_EQ(3u, ExitCodeOf(program.Process())) << "the exit code is the program's own";
}

TEST(ProgramWork, FollowsByParentIdWhereTheProgramCannotJoinAJob)
{
    // A handle without the rights a job needs: the job refuses the program for real, and its
    // descendants are found by their parents' ids. The program starts its child only once it is
    // followed, and ends once the grandchild has started; the child ends first, then the
    // grandchild, each let go by the wait.
    TempDir folder;
    const std::wstring go = folder.File(L"go");
    const std::wstring childRelease = folder.File(L"child.release");
    const std::wstring release = folder.File(L"grandchild.release");
    const std::wstring start = folder.File(L"grandchild.start");
    const std::wstring end = folder.File(L"grandchild.end");
    ChildProcess started = StartDirectly(
        After(go, Starter(start, 3, Starter(childRelease, 5, Leaf(start, release, end)))));
    ASSERT_TRUE(started.IsStarted());
    plug::UniqueHandle limited(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, started.ProcessId()));
    ASSERT_TRUE(limited);
    plug::StartedProgram program(std::move(limited));
    EXPECT_FALSE(program.Family().InJob());
    EXPECT_TRUE(program.Family().NeedsLookingAgain());
    Release(go);
    DuringTheWait during;
    ASSERT_TRUE(during.IsReady());
    during.AfterTheEndOf(program.Process(), [&] {
        plug::UniqueHandle child = OpenChildOf(program.Process());
        Release(childRelease);
        if (child)
            during.AfterTheEndOf(child.Get(), [&] { Release(release); });
    });
    plug::ProgramWait waited = plug::WaitForProgramWork(program, INFINITE, 30000);
    Release(childRelease);
    Release(release);
    EXPECT_TRUE(waited.programEnded);
    EXPECT_TRUE(waited.descendantsEnded);
    EXPECT_EQ(2, during.ActionsRun()) << "the wait ended before the child did";
    EXPECT_TRUE(PathExists(end)) << "the wait ended before the grandchild did";
    EXPECT_EQ(2u, waited.descendants);
    EXPECT_EQ(3u, ExitCodeOf(program.Process()));
}

TEST(ProgramWork, FindsWhatTheProgramStartedBeforeItJoinedTheJob)
{
    // The program has started its child before it is followed (a shell start that returns late):
    // the child is outside the job, and found by its parent's id.
    TempDir folder;
    const std::wstring programRelease = folder.File(L"program.release");
    const std::wstring childStarted = folder.File(L"child.start");
    const std::wstring childRelease = folder.File(L"child.release");
    const std::wstring childEnded = folder.File(L"child.end");
    ChildProcess started = StartDirectly(Starter(programRelease, 3, Leaf(childStarted, childRelease, childEnded)));
    ASSERT_TRUE(started.IsStarted());
    ASSERT_TRUE(WaitUntilMarked(childStarted));
    HANDLE duplicate = nullptr;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), started.Handle(), ::GetCurrentProcess(), &duplicate, 0, FALSE,
                                  DUPLICATE_SAME_ACCESS));
    plug::StartedProgram program{plug::UniqueHandle(duplicate)};
    EXPECT_TRUE(program.Family().InJob());
    EXPECT_TRUE(program.Family().NeedsLookingAgain()) << "a descendant outside the job is looked for by its parent";
    Release(programRelease);
    DuringTheWait during;
    ASSERT_TRUE(during.IsReady());
    during.AfterTheEndOf(program.Process(), [&] { Release(childRelease); });
    plug::ProgramWait waited = plug::WaitForProgramWork(program, INFINITE, 30000);
    Release(childRelease);
    EXPECT_TRUE(waited.descendantsEnded);
    EXPECT_TRUE(PathExists(childEnded)) << "the wait ended before the child did";
    EXPECT_EQ(1u, waited.descendants);
}

namespace {

// Stands in for GetProcessTimes while it lives: after each read that the family makes, the
// handler sees the process and may change the creation time found (or act meanwhile).
class ScopedProcessTimes {
public:
    using Handler = std::function<void(HANDLE process, ULONGLONG* created)>;
    explicit ScopedProcessTimes(Handler handler)
    {
        s_handler = std::move(handler);
        m_previous = plug::ProcessFamily::SetProcessTimesFunction(&Times);
    }
    ~ScopedProcessTimes()
    {
        plug::ProcessFamily::SetProcessTimesFunction(m_previous);
        s_handler = nullptr;
    }
    ScopedProcessTimes(const ScopedProcessTimes&) = delete;
    ScopedProcessTimes& operator=(const ScopedProcessTimes&) = delete;

private:
    static BOOL WINAPI Times(HANDLE process, FILETIME* created, FILETIME* exited, FILETIME* kernel, FILETIME* user)
    {
        BOOL read = ::GetProcessTimes(process, created, exited, kernel, user);
        if (read && s_handler) {
            ULONGLONG time = (static_cast<ULONGLONG>(created->dwHighDateTime) << 32) | created->dwLowDateTime;
            s_handler(process, &time);
            created->dwLowDateTime = static_cast<DWORD>(time);
            created->dwHighDateTime = static_cast<DWORD>(time >> 32);
        }
        return read;
    }

    static Handler s_handler;
    plug::ProcessFamily::ProcessTimesFunction m_previous = nullptr;
};
ScopedProcessTimes::Handler ScopedProcessTimes::s_handler;

// What Wine reports for a process that it lists, and lets be opened, before it has recorded
// when that process was created.
constexpr ULONGLONG kStartNotRecorded = 0x5555555555555555ULL;

// A program, its child and a grandchild, all running until the chain is released.
class HeldChain {
public:
    HeldChain()
        : m_release(m_folder.File(L"release")), m_grandchildStarted(m_folder.File(L"grandchild.start")),
          m_program(
              StartDirectly(Starter(m_release, 3, Starter(m_release, 5, Leaf(m_grandchildStarted, m_release, L"-")))))
    {
    }
    ~HeldChain() { ReleaseAll(); }
    HeldChain(const HeldChain&) = delete;
    HeldChain& operator=(const HeldChain&) = delete;

    // Once the grandchild runs: the program, followed where it cannot join a job.
    bool IsRunning() { return m_program.IsStarted() && WaitUntilMarked(m_grandchildStarted); }
    HANDLE Program() const { return m_program.Handle(); }
    plug::StartedProgram Follow() const
    {
        return plug::StartedProgram(
            plug::UniqueHandle(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, m_program.ProcessId())));
    }
    void ReleaseAll() const { Release(m_release); }

private:
    TempDir m_folder;
    std::wstring m_release;
    std::wstring m_grandchildStarted;
    ChildProcess m_program;
};

} // namespace

TEST(ProgramWork, FindsTheChildrenOfADescendantFirstSeenBeforeItsStartWasRecorded)
{
    HeldChain chain;
    ASSERT_TRUE(chain.IsRunning());
    plug::UniqueHandle child = OpenChildOf(chain.Program());
    ASSERT_TRUE(child);
    const DWORD childId = ::GetProcessId(child.Get());
    bool recorded = false; // the child's start, from the second read on
    ScopedProcessTimes times([&](HANDLE process, ULONGLONG* created) {
        if (::GetProcessId(process) == childId && !recorded) {
            *created = kStartNotRecorded;
            recorded = true;
        }
    });
    plug::StartedProgram program = chain.Follow(); // its first look finds the child's start not recorded
    ASSERT_FALSE(program.Family().InJob());
    EXPECT_EQ(2u, program.Family().RunningDescendants().size()) << "the grandchild was not taken for the child's";
    EXPECT_EQ(2u, program.Family().DescendantsSeen());
    chain.ReleaseAll();
    plug::ProgramWait waited = plug::WaitForProgramWork(program, INFINITE, 30000);
    EXPECT_TRUE(waited.descendantsEnded);
    EXPECT_EQ(2u, waited.descendants);
}

TEST(ProgramWork, LetsGoOfADescendantWhoseStartTurnsOutOlderThanItsParents)
{
    // The child's start, once recorded, comes before the program's: a child of an earlier owner
    // of the program's id, not the program's. Neither it nor what it started is waited for.
    HeldChain chain;
    ASSERT_TRUE(chain.IsRunning());
    plug::UniqueHandle child = OpenChildOf(chain.Program());
    ASSERT_TRUE(child);
    const DWORD childId = ::GetProcessId(child.Get());
    const ULONGLONG beforeTheProgram = CreationTimeOf(chain.Program()) - 10000000; // a second earlier
    bool recorded = false;
    ScopedProcessTimes times([&](HANDLE process, ULONGLONG* created) {
        if (::GetProcessId(process) == childId) {
            *created = recorded ? beforeTheProgram : kStartNotRecorded;
            recorded = true;
        }
    });
    plug::StartedProgram program = chain.Follow();
    ASSERT_FALSE(program.Family().InJob());
    program.Family().RunningDescendants();
    EXPECT_TRUE(program.Family().RunningDescendants().empty());
    EXPECT_EQ(0u, program.Family().DescendantsSeen());
}

TEST(ProgramWork, WaitsForWhatADescendantStartedWhileTheFamilyWasLookedAt)
{
    // The child is listed, then (while the look goes on) starts the grandchild and ends: the
    // list the look went by never held the grandchild, and the child's end is no end of the work.
    TempDir folder;
    const std::wstring go = folder.File(L"go");
    const std::wstring childGo = folder.File(L"child.go");
    const std::wstring release = folder.File(L"grandchild.release");
    const std::wstring end = folder.File(L"grandchild.end");
    plug::StartedProgram program = StartThroughShell(
        After(go, Starter(L"0", 3, After(childGo, Starter(L"0", 5, Leaf(L"-", release, end))))));
    ASSERT_TRUE(program);
    ASSERT_TRUE(program.Family().InJob());
    const DWORD programId = ::GetProcessId(program.Process());
    DuringTheWait during;
    ASSERT_TRUE(during.IsReady());
    bool childEnded = false;
    ScopedProcessTimes times([&](HANDLE process, ULONGLONG*) {
        if (::GetProcessId(process) == programId || !PathExists(go) || PathExists(childGo))
            return;
        // The child, read while it is looked at: it starts the grandchild and ends meanwhile.
        Release(childGo);
        childEnded = ::WaitForSingleObject(process, 30000) == WAIT_OBJECT_0;
        during.AfterTheEndOf(process, [&] { Release(release); });
    });
    Release(go);
    plug::ProgramWait waited = plug::WaitForProgramWork(program, INFINITE, 30000);
    Release(childGo);
    Release(release);
    EXPECT_TRUE(childEnded);
    EXPECT_TRUE(waited.descendantsEnded);
    EXPECT_TRUE(PathExists(end)) << "the wait ended before the grandchild did";
    EXPECT_EQ(2u, waited.descendants);
}

TEST(ProgramWork, GivesUpAtTheBoundOnADescendantThatLivesOn)
{
    TempDir folder;
    const std::wstring release = folder.File(L"child.release");
    const std::wstring end = folder.File(L"child.end");
    plug::StartedProgram program = StartThroughShell(Starter(L"0", 3, Leaf(L"-", release, end)));
    ASSERT_TRUE(program);
    plug::ProgramWait waited = plug::WaitForProgramWork(program, INFINITE, 300);
    EXPECT_FALSE(PathExists(end));
    Release(release);
    // Released, the descendant ends before its folder goes (else it waits a minute for a file that
    // is gone, holding the test's output open all that time).
    EXPECT_TRUE(WaitUntilMarked(end));
    EXPECT_TRUE(waited.programEnded);
    EXPECT_FALSE(waited.descendantsEnded);
    EXPECT_EQ(1u, waited.descendants);
    EXPECT_GE(waited.descendantsWaitMs, 300u);
    EXPECT_EQ(3u, ExitCodeOf(program.Process()));

    // The program's own bound comes first: one still running is not waited for past it.
    const std::wstring lingering = folder.File(L"lingering.release");
    plug::StartedProgram lingeringProgram = StartThroughShell(Leaf(L"-", lingering, L"-"));
    ASSERT_TRUE(lingeringProgram);
    plug::ProgramWait cut = plug::WaitForProgramWork(lingeringProgram, 200, 30000);
    Release(lingering);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(lingeringProgram.Process(), 30000));
    EXPECT_FALSE(cut.programEnded);
    EXPECT_FALSE(cut.descendantsEnded);
}

TEST(ProgramWork, AProgramThatStartsNothingAddsNoWait)
{
    for (int round = 0; round < 3; ++round) {
        plug::StartedProgram program = StartThroughShell(Leaf(L"-", L"0", L"-"));
        ASSERT_TRUE(program);
        // Posted once the program has ended: a wait that went on after its end would dispatch it.
        DuringTheWait during;
        ASSERT_TRUE(during.IsReady());
        during.AfterTheEndOf(program.Process(), [] {});
        plug::ProgramWait waited = plug::WaitForProgramWork(program, INFINITE, 30000);
        during.JoinPosters();
        EXPECT_TRUE(waited.programEnded);
        EXPECT_TRUE(waited.descendantsEnded);
        EXPECT_EQ(0u, waited.descendants);
        EXPECT_EQ(0, during.ActionsRun()) << "the wait went on after the program's end";
        EXPECT_EQ(7u, ExitCodeOf(program.Process()));
    }
    // Nothing started, or what is no process at all: nothing to follow, no wait.
    plug::StartedProgram missing = plug::StartedProgram::Start(L"C:\\no\\such\\setup.exe", L"", SW_SHOWNORMAL);
    EXPECT_FALSE(missing);
    plug::StartedProgram event{plug::UniqueHandle(::CreateEventW(nullptr, TRUE, TRUE, nullptr))};
    EXPECT_FALSE(event.Family().InJob());
    plug::ProgramWait waited = plug::WaitForProgramWork(event, INFINITE, 30000);
    EXPECT_TRUE(waited.programEnded);
    EXPECT_TRUE(waited.descendantsEnded);
    EXPECT_EQ(0u, waited.descendants);
}

TEST(ProgramWork, DispatchesMessagesWhileItWaitsForTheDescendants)
{
    TempDir folder;
    const std::wstring release = folder.File(L"child.release");
    const std::wstring end = folder.File(L"child.end");
    plug::StartedProgram program = StartThroughShell(Starter(L"0", 3, Leaf(L"-", release, end)));
    ASSERT_TRUE(program);
    // Once the program itself has ended: a message for the waiting thread, whose handling lets
    // the descendant end, and key input, which ends no wait.
    DuringTheWait during;
    ASSERT_TRUE(during.IsReady());
    bool descendantHadEnded = true;
    during.AfterTheEndOf(program.Process(), [&] {
        descendantHadEnded = PathExists(end);
        ::PostThreadMessageW(::GetCurrentThreadId(), WM_KEYDOWN, VK_RETURN, 0);
        Release(release);
    });
    plug::ProgramWait waited = plug::WaitForProgramWork(program, INFINITE, 30000);
    Release(release);
    EXPECT_TRUE(waited.descendantsEnded);
    EXPECT_TRUE(PathExists(end));
    EXPECT_EQ(1, during.ActionsRun()) << "the message waited until the wait had ended";
    EXPECT_FALSE(descendantHadEnded) << "dispatched only after the descendant had ended";
}
