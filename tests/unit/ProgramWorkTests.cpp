// The wait for a started program's whole work: the program itself, then every process it
// started and they started, with real processes under a real job object or, where the program
// cannot join one, found by their parent's id.
#include "common/ChildProcess.h"
#include "common/TestFiles.h"
#include "framework/Handle.h"
#include "framework/StartedProgram.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace plugtest;

namespace {

// The chain's links (ProcessChain.exe beside the test), each described by its arguments.
std::wstring ChainProgram()
{
    std::wstring self = ThisExecutable();
    return self.substr(0, self.rfind(L'\\') + 1) + L"ProcessChain.exe";
}

// Marks its start (a file, or "-" for none), lives ms, marks its end and exits 7.
std::vector<std::wstring> Leaf(const std::wstring& startFile, DWORD ms, const std::wstring& endFile)
{
    return {L"leaf", startFile, std::to_wstring(ms), endFile};
}

// Starts the link described by next, lives ms more and exits with exitCode.
std::vector<std::wstring> Starter(DWORD ms, int exitCode, const std::vector<std::wstring>& next)
{
    std::vector<std::wstring> line = {L"starter", std::to_wstring(ms), std::to_wstring(exitCode)};
    line.insert(line.end(), next.begin(), next.end());
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

} // namespace

TEST(ProgramWork, WaitsForAChildAndAGrandchildThatOutliveTheProgram)
{
    TempDir folder;
    const std::wstring end = folder.File(L"grandchild.end");
    // The program ends at once (3), its child too (5) after starting the grandchild, which ends
    // 800 ms later (7).
    plug::StartedProgram program = StartThroughShell(Starter(0, 3, Starter(0, 5, Leaf(L"-", 800, end))));
    ASSERT_TRUE(program);
    EXPECT_TRUE(program.Family().InJob()) << "this Windows lets a started program join a job";
    plug::ProgramWait waited = plug::WaitForProgramWork(program, INFINITE, 30000);
    EXPECT_TRUE(waited.programEnded);
    EXPECT_TRUE(waited.descendantsEnded);
    EXPECT_TRUE(PathExists(end)) << "the wait ended before the grandchild did";
    EXPECT_EQ(2u, waited.descendants);
    EXPECT_GE(waited.descendantsWaitMs, 300u);
    EXPECT_EQ(3u, ExitCodeOf(program.Process())) << "the exit code is the program's own";
}

TEST(ProgramWork, FollowsByParentIdWhereTheProgramCannotJoinAJob)
{
    // A handle without the rights a job needs: the job refuses the program for real, and its
    // descendants are found by their parents' ids. The child lives on 600 ms after starting the
    // grandchild, long enough to be seen before it ends.
    TempDir folder;
    const std::wstring end = folder.File(L"grandchild.end");
    ChildProcess started = StartDirectly(Starter(300, 3, Starter(600, 5, Leaf(L"-", 1500, end))));
    ASSERT_TRUE(started.IsStarted());
    plug::UniqueHandle limited(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, started.ProcessId()));
    ASSERT_TRUE(limited);
    plug::StartedProgram program(std::move(limited));
    EXPECT_FALSE(program.Family().InJob());
    EXPECT_TRUE(program.Family().NeedsLookingAgain());
    plug::ProgramWait waited = plug::WaitForProgramWork(program, INFINITE, 30000);
    EXPECT_TRUE(waited.programEnded);
    EXPECT_TRUE(waited.descendantsEnded);
    EXPECT_TRUE(PathExists(end)) << "the wait ended before the grandchild did";
    EXPECT_EQ(2u, waited.descendants);
    EXPECT_EQ(3u, ExitCodeOf(program.Process()));
}

TEST(ProgramWork, FindsWhatTheProgramStartedBeforeItJoinedTheJob)
{
    // The program has started its child before it is followed (a shell start that returns late):
    // the child is outside the job, and found by its parent's id.
    TempDir folder;
    const std::wstring childStarted = folder.File(L"child.start");
    const std::wstring childEnded = folder.File(L"child.end");
    ChildProcess started = StartDirectly(Starter(500, 3, Leaf(childStarted, 1500, childEnded)));
    ASSERT_TRUE(started.IsStarted());
    for (int tries = 0; tries < 300 && !PathExists(childStarted); ++tries)
        ::Sleep(20);
    ASSERT_TRUE(PathExists(childStarted));
    HANDLE duplicate = nullptr;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), started.Handle(), ::GetCurrentProcess(), &duplicate, 0, FALSE,
                                  DUPLICATE_SAME_ACCESS));
    plug::StartedProgram program{plug::UniqueHandle(duplicate)};
    EXPECT_TRUE(program.Family().InJob());
    EXPECT_TRUE(program.Family().NeedsLookingAgain()) << "a descendant outside the job is looked for by its parent";
    plug::ProgramWait waited = plug::WaitForProgramWork(program, INFINITE, 30000);
    EXPECT_TRUE(waited.descendantsEnded);
    EXPECT_TRUE(PathExists(childEnded)) << "the wait ended before the child did";
    EXPECT_EQ(1u, waited.descendants);
}

TEST(ProgramWork, GivesUpAtTheBoundOnADescendantThatLivesOn)
{
    TempDir folder;
    const std::wstring end = folder.File(L"child.end");
    plug::StartedProgram program = StartThroughShell(Starter(0, 3, Leaf(L"-", 4000, end)));
    ASSERT_TRUE(program);
    plug::ProgramWait waited = plug::WaitForProgramWork(program, INFINITE, 300);
    EXPECT_TRUE(waited.programEnded);
    EXPECT_FALSE(waited.descendantsEnded);
    EXPECT_EQ(1u, waited.descendants);
    EXPECT_GE(waited.descendantsWaitMs, 300u);
    EXPECT_LT(waited.descendantsWaitMs, 2500u);
    EXPECT_FALSE(PathExists(end));
    EXPECT_EQ(3u, ExitCodeOf(program.Process()));

    // The program's own bound comes first: one still running is not waited for past it.
    plug::StartedProgram lingering = StartThroughShell(Leaf(L"-", 3000, L"-"));
    plug::ProgramWait cut = plug::WaitForProgramWork(lingering, 200, 30000);
    EXPECT_FALSE(cut.programEnded);
    EXPECT_FALSE(cut.descendantsEnded);
}

TEST(ProgramWork, AProgramThatStartsNothingAddsNoWait)
{
    for (int round = 0; round < 3; ++round) {
        plug::StartedProgram program = StartThroughShell(Leaf(L"-", 0, L"-"));
        ASSERT_TRUE(program);
        plug::ProgramWait waited = plug::WaitForProgramWork(program, INFINITE, 30000);
        EXPECT_TRUE(waited.programEnded);
        EXPECT_TRUE(waited.descendantsEnded);
        EXPECT_EQ(0u, waited.descendants);
        EXPECT_LT(waited.descendantsWaitMs, 100u);
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

namespace {

std::atomic<int> g_appMessages{0};
std::atomic<bool> g_descendantHadEnded{false};
std::wstring g_descendantEnd;

LRESULT CALLBACK RecordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP) {
        ++g_appMessages;
        g_descendantHadEnded = PathExists(g_descendantEnd);
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

TEST(ProgramWork, DispatchesMessagesWhileItWaitsForTheDescendants)
{
    TempDir folder;
    g_descendantEnd = folder.File(L"child.end");
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingWindowProc));
    plug::StartedProgram program = StartThroughShell(Starter(0, 3, Leaf(L"-", 1500, g_descendantEnd)));
    ASSERT_TRUE(program);
    HANDLE watched = nullptr;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), program.Process(), ::GetCurrentProcess(), &watched,
                                  SYNCHRONIZE, FALSE, 0));
    plug::UniqueHandle programProcess(watched);
    // Once the program itself has ended: a message and key input for the waiting thread.
    std::thread poster([&] {
        ::WaitForSingleObject(programProcess.Get(), 30000);
        ::PostMessageW(window, WM_APP, 0, 0);
        ::PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
    });
    plug::ProgramWait waited = plug::WaitForProgramWork(program, INFINITE, 30000);
    poster.join();
    EXPECT_TRUE(waited.descendantsEnded);
    EXPECT_TRUE(PathExists(g_descendantEnd));
    EXPECT_EQ(1, g_appMessages.load()) << "the message waited until the wait had ended";
    EXPECT_FALSE(g_descendantHadEnded.load()) << "dispatched only after the descendant had ended";
    ::DestroyWindow(window);
}
