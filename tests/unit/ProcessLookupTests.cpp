// The process lookup against real processes of the prefix.
#include "common/ChildProcess.h"
#include "common/ScopedRegistry.h"
#include "common/TestFiles.h"
#include "config/ModulePath.h"
#include "framework/StringFormat.h"
#include "process/ProcessLookup.h"

#include <gtest/gtest.h>

using namespace plugtest;
using plug::TechFindProcess;

// A helper process that only waits to be found (and ended by its test).
PLUGTEST_CHILD_MODE(linger)
{
    (void)arguments;
    ::Sleep(60000);
    return 0;
}

// Loads the process-status library by its name, as a lookup that trusts the search path would.
PLUGTEST_CHILD_MODE(load_psapi_by_name)
{
    (void)arguments;
    return ::LoadLibraryW(L"PSAPI.DLL") ? 0 : 1;
}

// Runs the lookup in a process of its own, whose debugger output a test can read.
PLUGTEST_CHILD_MODE(lookup) { return TechFindProcess(arguments.empty() ? L"" : arguments[0].c_str()) ? 1 : 0; }

namespace {

// Waits until the lookup finds text, or gives up after timeoutMs.
bool FoundWithin(const std::wstring& text, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        if (TechFindProcess(text.c_str()))
            return true;
        ::Sleep(50);
    }
    return false;
}

// The lines a child lookup writes to the debugger output, and its answer.
struct DebugRun {
    std::vector<std::string> lines;
    int exitCode = -1;
};

std::string ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info)
{
    size_t unit = info.fUnicode ? 2 : 1;
    std::string bytes(info.nDebugStringLength * unit, '\0');
    SIZE_T read = 0;
    ::ReadProcessMemory(process, info.lpDebugStringData, &bytes[0], bytes.size(), &read);
    bytes.resize(read);
    if (!info.fUnicode)
        return std::string(bytes.c_str());
    std::wstring wide(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    return plug::WideToAnsi(std::wstring(wide.c_str()));
}

// Starts the lookup child as its debugger and collects what it writes with OutputDebugString.
DebugRun RunLookupUnderDebugger(const std::wstring& searchText)
{
    DebugRun run;
    std::wstring program = ThisExecutable();
    std::wstring commandLine = L"\"" + program + L"\" --child lookup \"" + searchText + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                          nullptr, &startup, &info))
        return run;
    plug::UniqueHandle process(info.hProcess);
    plug::UniqueHandle thread(info.hThread);
    DEBUG_EVENT event = {};
    while (::WaitForDebugEvent(&event, 30000)) {
        DWORD continueStatus = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            plug::UniqueFile(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            plug::UniqueFile(event.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT:
            run.lines.push_back(ReadDebugString(process.Get(), event.u.DebugString));
            break;
        case EXCEPTION_DEBUG_EVENT:
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                continueStatus = DBG_EXCEPTION_NOT_HANDLED;
            break;
        default:
            break;
        }
        if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
            run.exitCode = static_cast<int>(event.u.ExitProcess.dwExitCode);
            ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
            break;
        }
        ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continueStatus);
    }
    return run;
}

bool HasLine(const DebugRun& run, const std::string& line)
{
    for (const std::string& written : run.lines) {
        if (written == line)
            return true;
    }
    return false;
}

bool HasLineStartingWith(const DebugRun& run, const std::string& start)
{
    for (const std::string& written : run.lines) {
        if (written.compare(0, start.size(), start) == 0)
            return true;
    }
    return false;
}

} // namespace

TEST(ProcessLookup, FindsProcessInMixedCaseFolderWhateverTheCaseOfTheSearchText)
{
    TempDir base;
    std::wstring folder = base.Path() + L"Norvo PC Suite II\\BinFolder";
    CreateFolders(folder);
    std::wstring helper = folder + L"\\SuiteHelper.exe";
    ASSERT_TRUE(::CopyFileW(ThisExecutable().c_str(), helper.c_str(), FALSE));

    // A folder name in other letter case matches the executable in its subfolder.
    std::wstring folderText = base.Path() + L"NORVO pc suite ii";
    EXPECT_FALSE(TechFindProcess(folderText.c_str()));
    {
        ChildProcess child = ChildProcess::Start(helper, L"--child linger");
        ASSERT_TRUE(child.IsStarted());
        EXPECT_TRUE(FoundWithin(folderText, 10000));
        EXPECT_TRUE(TechFindProcess(L"binfolder\\SUITEHELPER.EXE"));
        EXPECT_TRUE(TechFindProcess(plug::ToLower(helper).c_str()));
    }
    // Ended: no longer found.
    EXPECT_FALSE(TechFindProcess(folderText.c_str()));
}

TEST(ProcessLookup, TheCallingProcessAndAnEmptyTextMatch)
{
    EXPECT_TRUE(TechFindProcess(ThisExecutable().c_str()));
    EXPECT_TRUE(TechFindProcess(L""));
    EXPECT_TRUE(TechFindProcess(nullptr));
    EXPECT_FALSE(TechFindProcess(L"C:\\No Such Folder\\No Such Program.exe"));
}

TEST(ProcessLookup, WritesItsProgressToTheDebuggerOutput)
{
    DebugRun found = RunLookupUnderDebugger(L"PROCESS_LOOKUP_TESTS");
    EXPECT_EQ(1, found.exitCode); // it finds itself
    EXPECT_TRUE(HasLine(found, "TechFindProcess(LPCTSTR sProcessName = PROCESS_LOOKUP_TESTS) called \n"));
    EXPECT_TRUE(HasLine(found, "\t\t\t VER_PLATFORM_WIN32_NT \n"));
    EXPECT_TRUE(HasLine(found, "\t\t\t\t\t\t res = 1 \n"));
    EXPECT_TRUE(HasLineStartingWith(found, "\t\t\t\t\t\t pnum = "));
    EXPECT_TRUE(HasLineStartingWith(found, "\t\t\t\t\t\t\t\t\t strUExeName = "));
    EXPECT_TRUE(HasLine(found, "\t\t\t\t\t\t\t\t\t return TRUE \n"));
    EXPECT_FALSE(HasLine(found, "\t\t\t return FALSE \n"));

    DebugRun missing = RunLookupUnderDebugger(L"no process has this text");
    EXPECT_EQ(0, missing.exitCode);
    EXPECT_TRUE(HasLine(missing, "\t\t\t return FALSE \n"));
    EXPECT_TRUE(HasLineStartingWith(missing, "\t\t\t\t\t\t\t\t\t strUExeName = "));
}

// A program runs from the staging folder, which any program of the user can write to: a library
// planted there under the process-status library's name must not be loaded by the lookup.
TEST(ProcessLookup, TakesTheProcessStatusLibraryFromTheSystemFolderOnly)
{
    TempDir folder;
    std::wstring program = folder.File(L"planted_lookup.exe");
    std::wstring planted = folder.File(L"PSAPI.DLL");
    std::wstring marker = folder.File(L"PSAPI.loaded");
    ASSERT_TRUE(::CopyFileW(ThisExecutable().c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW((plug::GetModuleDirectory() + L"PlantedLibrary.dll").c_str(), planted.c_str(), FALSE));
    // Windows takes a library from the program's folder before the system folder; Wine does so
    // for this one when told to prefer libraries that are not its own.
    ScopedRegistry registry;
    registry.SetString(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\planted_lookup.exe\\DllOverrides", L"psapi",
                       L"native,builtin");

    ChildProcess byName = ChildProcess::Start(program, L"--child load_psapi_by_name");
    ASSERT_EQ(0, byName.Wait());
    if (!PathExists(marker))
        GTEST_SKIP() << "this host never takes PSAPI.DLL from the program's folder";
    RemoveFileForced(marker);

    ChildProcess lookup = ChildProcess::Start(program, L"--child lookup planted_lookup");
    EXPECT_EQ(1, lookup.Wait()) << "the lookup finds its own process";
    EXPECT_FALSE(PathExists(marker)) << "the planted library was loaded";
}
