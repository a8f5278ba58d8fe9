// The autoplay check at a CD start against the real registry, in processes that Wine tells they
// run on Windows XP or Windows 7, and the repair tool NorvoSetCDROMAutoRun.exe.
#include "app/PlugstartApp.h"
#include "autoplay/AutoPlay.h"
#include "common/ChildProcess.h"
#include "common/MessageBoxRecorder.h"
#include "common/ScopedRegistry.h"
#include "common/TestFiles.h"
#include "config/ModulePath.h"
#include "framework/StringFormat.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using namespace plugtest;

namespace {

const wchar_t kCdrom[] = L"SYSTEM\\CurrentControlSet\\Services\\Cdrom";
const wchar_t kShellHw[] = L"SYSTEM\\CurrentControlSet\\Services\\ShellHWDetection";
const wchar_t kPolicies[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const wchar_t kUserPolicies[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const wchar_t kHandlers[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers";
const wchar_t kDefaultSelection[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\"
                                    L"EventHandlersDefaultSelection\\AutorunINFLegacyArrival";
const wchar_t kUserChosen[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\"
                              L"UserChosenExecuteHandlers\\AutorunINFLegacyArrival";

const wchar_t kOption1[] = L"CD-ROM auto-run is off.\nPress OK to turn it on.";
const wchar_t kOption4[] = L"A policy stands in the way too.";

const char kBanner[] = "=============[CPlugstartApp::SetCDROMAutoRun() CD START]==============\r\n";
const char kNoNeed[] = "************* [No need set CDROM autorun] **************\n";
const char kCancelled[] = "************* [User cancel the CDROM autorun] **************\n";
const char kToolCalled[] = "[SetCDROMAutoRun.exe Call File Name] ";
const char kToolMissing[] = "[IsExistFile(strVistaCDAutoRun)] Not found file !!.....\n";
const char kToolStillRunning[] = "[SetCDROMAutoRun.exe] Still running after";

std::map<std::wstring, std::wstring> AutoplayLanguage()
{
    std::map<std::wstring, std::wstring> values = StandardLanguage();
    values[L"STR_STRING_CDROM_AUTO_OPTION_1"] = L"CD-ROM auto-run is off.\\nPress OK to turn it on.";
    values[L"STR_STRING_CDROM_AUTO_OPTION_4"] = L"A policy stands in the way too.";
    return values;
}

// How the check's child reports a message box on its output, one line each.
std::string BoxLine(bool ownerless, UINT style, const std::wstring& caption, const std::wstring& text)
{
    std::wstring line = plug::FormatString(L"box owner=%ls style=0x%X caption=%ls text=%ls\n",
                                           ownerless ? L"none" : L"window", style, caption.c_str(), text.c_str());
    std::string utf8 = plug::ToUtf8(line.substr(0, line.size() - 1));
    std::string escaped;
    for (char c : utf8)
        escaped += (c == '\n') ? std::string("\\n") : std::string(1, c);
    return escaped + "\n";
}

std::wstring TraceFile()
{
    wchar_t folder[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, folder);
    return std::wstring(folder) + L"Plugstart_trace.log";
}

std::string TraceLog() { return ReadBinaryFile(TraceFile()); }

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

} // namespace

// The check as a CD start makes it: the application object's SetCDROMAutoRun, with the
// question answered "ok" or "cancel". Prints the result and every box.
PLUGTEST_CHILD_MODE(autoplay_check)
{
    MessageBoxRecorder boxes;
    boxes.QueueAnswer(!arguments.empty() && arguments[0] == L"cancel" ? IDCANCEL : IDOK);
    ScopedLanguageFile language(AutoplayLanguage());
    CPlugstartApp app;
    BOOL result = app.SetCDROMAutoRun();
    std::printf("result=%d startNewTrace=%d\n", result, static_cast<int>(app.m_bStartNewTrace));
    for (const RecordedBox& box : boxes.Boxes())
        std::printf("%s", BoxLine(box.owner == nullptr, box.style, box.caption, box.text).c_str());
    return 0;
}

namespace {

// The seven values the check reads, put back as they were when the test ends. The fixture
// starts from a PC on which nothing stands in the way.
class AutoplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_shellHwKeyExisted = ScopedRegistry::KeyExists(HKEY_LOCAL_MACHINE, kShellHw);
        m_registry.DeleteValue(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun");
        m_registry.DeleteValue(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun");
        m_registry.DeleteValue(HKEY_CURRENT_USER, kUserPolicies, L"NoDriveTypeAutoRun");
        m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kShellHw, L"Start", 2);
        m_registry.DeleteValue(HKEY_CURRENT_USER, kHandlers, L"DisableAutoplay");
        m_registry.DeleteValue(HKEY_CURRENT_USER, kDefaultSelection, L"");
        m_registry.DeleteValue(HKEY_CURRENT_USER, kUserChosen, L"");
    }

    // Runs the check in a copy of this program that Wine treats as windowsVersion; returns
    // what it printed.
    std::string RunCheckAs(const wchar_t* windowsVersion, const wchar_t* answer)
    {
        std::wstring copy = CopyAsWindowsVersion(ThisExecutable(), windowsVersion);
        std::string output;
        int code = RunAndCapture(copy, std::wstring(L"--child autoplay_check ") + answer, &output);
        RemoveFileForced(copy);
        output.erase(std::remove(output.begin(), output.end(), '\r'), output.end()); // text-mode output
        EXPECT_EQ(0, code) << output;
        EXPECT_EQ(0u, TraceLog().rfind(kBanner, 0)) << "the check begins a new trace";
        EXPECT_TRUE(Contains(output, "startNewTrace=0")) << output;
        return output;
    }

    DWORD Dword(HKEY root, const wchar_t* path, const wchar_t* name)
    {
        DWORD value = 0xDEADBEEF;
        EXPECT_TRUE(ReadRegistryDword(root, path, name, &value)) << path << L"\\" << name;
        return value;
    }

    // A PC whose every setting is in the way (the user's policy is hidden by the machine's).
    void BlockEverything()
    {
        m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun", 0);
        m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun", 0xB5);
        m_registry.SetDWORD(HKEY_CURRENT_USER, kUserPolicies, L"NoDriveTypeAutoRun", 0xFF);
        RemoveHardwareDetection();
        m_registry.SetDWORD(HKEY_CURRENT_USER, kHandlers, L"DisableAutoplay", 1);
        m_registry.SetString(HKEY_CURRENT_USER, kDefaultSelection, L"", L"MSTakeNoAction");
        m_registry.SetString(HKEY_CURRENT_USER, kUserChosen, L"", L"MSTakeNoAction");
    }

    // As on a fresh Wine prefix: no ShellHWDetection key (only its value when the prefix has one).
    void RemoveHardwareDetection()
    {
        m_registry.DeleteValue(HKEY_LOCAL_MACHINE, kShellHw, L"Start");
        if (!m_shellHwKeyExisted)
            ScopedRegistry::DeleteTree(HKEY_LOCAL_MACHINE, kShellHw);
    }

    std::string QuestionBox(const std::wstring& text) { return BoxLine(true, 0x31, L"Test Installer", text); }
    std::wstring BothTexts() { return std::wstring(kOption1) + L"\n\n" + kOption4; }

    ScopedRegistry m_registry;
    bool m_shellHwKeyExisted = false;
};

} // namespace

TEST_F(AutoplayTest, OnXpOkRepairsTheBlockingSettingsDirectlyAndNothingElse)
{
    BlockEverything();
    std::string output = RunCheckAs(L"winxp", L"ok");
    EXPECT_EQ("result=1 startNewTrace=0\n" + QuestionBox(BothTexts()), output);
    EXPECT_EQ(1u, Dword(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun"));
    EXPECT_EQ(0x95u, Dword(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun"));
    EXPECT_EQ(2u, Dword(HKEY_LOCAL_MACHINE, kShellHw, L"Start"));
    // Not in the way before Vista, or hidden by the machine's policy: left alone.
    EXPECT_EQ(0xFFu, Dword(HKEY_CURRENT_USER, kUserPolicies, L"NoDriveTypeAutoRun"));
    EXPECT_EQ(1u, Dword(HKEY_CURRENT_USER, kHandlers, L"DisableAutoplay"));
    EXPECT_EQ(L"MSTakeNoAction", ReadRegistryString(HKEY_CURRENT_USER, kDefaultSelection, L""));
    EXPECT_EQ(L"MSTakeNoAction", ReadRegistryString(HKEY_CURRENT_USER, kUserChosen, L""));
    EXPECT_FALSE(Contains(TraceLog(), kToolCalled));
}

TEST_F(AutoplayTest, CancelWritesNothing)
{
    BlockEverything();
    std::string output = RunCheckAs(L"winxp", L"cancel");
    EXPECT_EQ("result=1 startNewTrace=0\n" + QuestionBox(BothTexts()), output);
    EXPECT_EQ(0u, Dword(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun"));
    EXPECT_EQ(0xB5u, Dword(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun"));
    EXPECT_FALSE(RegistryValueExists(HKEY_LOCAL_MACHINE, kShellHw, L"Start"));
    EXPECT_TRUE(Contains(TraceLog(), kCancelled));
}

TEST_F(AutoplayTest, OnXpTheUsersPolicyIsRepairedWhenTheMachineHasNone)
{
    m_registry.SetDWORD(HKEY_CURRENT_USER, kUserPolicies, L"NoDriveTypeAutoRun", 0x1FF);
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun", 2);
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kShellHw, L"Start", 3);
    std::string output = RunCheckAs(L"winxp", L"ok");
    EXPECT_EQ("result=1 startNewTrace=0\n" + QuestionBox(BothTexts()), output);
    EXPECT_EQ(0xDFu, Dword(HKEY_CURRENT_USER, kUserPolicies, L"NoDriveTypeAutoRun"));
    EXPECT_EQ(2u, Dword(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun"));
    EXPECT_EQ(3u, Dword(HKEY_LOCAL_MACHINE, kShellHw, L"Start"));
    EXPECT_FALSE(RegistryValueExists(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun"));
}

TEST_F(AutoplayTest, NothingInTheWayAsksNothing)
{
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun", 0x91);
    m_registry.SetDWORD(HKEY_CURRENT_USER, kUserPolicies, L"NoDriveTypeAutoRun", 0xFF); // not read
    m_registry.SetString(HKEY_CURRENT_USER, kUserChosen, L"", L"MSPromptEachTime");
    for (const wchar_t* windowsVersion : {L"winxp", L"win7"}) {
        EXPECT_EQ("result=1 startNewTrace=0\n", RunCheckAs(windowsVersion, L"ok")) << windowsVersion;
        EXPECT_TRUE(Contains(TraceLog(), kNoNeed));
    }
}

TEST_F(AutoplayTest, OnWindows7TheUsersSettingsAreWrittenAndTheToolRepairsTheMachineWideOnes)
{
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun", 0);
    RemoveHardwareDetection();
    m_registry.SetDWORD(HKEY_CURRENT_USER, kUserPolicies, L"NoDriveTypeAutoRun", 0xB5);
    m_registry.SetDWORD(HKEY_CURRENT_USER, kHandlers, L"DisableAutoplay", 1);
    m_registry.SetString(HKEY_CURRENT_USER, kDefaultSelection, L"", L"msautorun");
    m_registry.SetString(HKEY_CURRENT_USER, kUserChosen, L"", L"MSPromptEachTime");

    std::string output = RunCheckAs(L"win7", L"ok");
    EXPECT_EQ("result=1 startNewTrace=0\n" + QuestionBox(BothTexts()), output);
    EXPECT_EQ(0x95u, Dword(HKEY_CURRENT_USER, kUserPolicies, L"NoDriveTypeAutoRun"));
    EXPECT_EQ(0u, Dword(HKEY_CURRENT_USER, kHandlers, L"DisableAutoplay"));
    EXPECT_EQ(L"MSAutoRun", ReadRegistryString(HKEY_CURRENT_USER, kDefaultSelection, L""));
    EXPECT_EQ(L"MSPromptEachTime", ReadRegistryString(HKEY_CURRENT_USER, kUserChosen, L""));
    // The tool ran with autoset-257 and the program waited for it: both are repaired, and the
    // machine's policy, which was not in the way, is still absent.
    EXPECT_EQ(1u, Dword(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun"));
    EXPECT_EQ(2u, Dword(HKEY_LOCAL_MACHINE, kShellHw, L"Start"));
    EXPECT_FALSE(RegistryValueExists(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun"));
    std::string tool = plug::ToUtf8(plug::GetModuleDirectory() + L"tools\\NorvoSetCDROMAutoRun.exe");
    EXPECT_TRUE(Contains(TraceLog(), kToolCalled + tool));
}

TEST_F(AutoplayTest, OnWindows7OnlyDisabledAutoplayAsksTheFirstTextAndRunsNoTool)
{
    m_registry.SetDWORD(HKEY_CURRENT_USER, kHandlers, L"DisableAutoplay", 1);
    std::string output = RunCheckAs(L"win7", L"ok");
    EXPECT_EQ("result=1 startNewTrace=0\n" + QuestionBox(kOption1), output);
    EXPECT_EQ(0u, Dword(HKEY_CURRENT_USER, kHandlers, L"DisableAutoplay"));
    EXPECT_FALSE(Contains(TraceLog(), kToolCalled));
}

TEST_F(AutoplayTest, OnWindows7AMissingToolIsOnlyTraced)
{
    std::wstring tool = plug::GetModuleDirectory() + L"tools\\NorvoSetCDROMAutoRun.exe";
    std::wstring aside = tool + L".aside";
    ASSERT_TRUE(::MoveFileExW(tool.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING));
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun", 0);
    std::string output = RunCheckAs(L"win7", L"ok");
    ::MoveFileExW(aside.c_str(), tool.c_str(), MOVEFILE_REPLACE_EXISTING);
    EXPECT_EQ("result=1 startNewTrace=0\n" + QuestionBox(kOption1), output);
    EXPECT_TRUE(Contains(TraceLog(), kToolMissing));
    EXPECT_EQ(0u, Dword(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun"));
}

namespace {

const wchar_t kReleaseEvent[] = L"PlugstartTest.ReleaseWaitingTool";

// The check on Vista and later in this process, with a stand-in tool that runs until the
// release event is set; Cdrom "AutoRun" = 0 makes it start the tool.
class AutoplayToolWaitTest : public AutoplayTest {
protected:
    void SetUp() override
    {
        AutoplayTest::SetUp();
        m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun", 0);
        ::DeleteFileW(TraceFile().c_str());
    }
    void TearDown() override { ::SetEvent(m_release.Get()); }

    BOOL RunCheck(DWORD waitMs)
    {
        plug::AutoplayRepairTool tool;
        tool.path = plug::GetModuleDirectory() + L"WaitingTool.exe";
        tool.waitMs = waitMs;
        return plug::CheckAndRepairAutoplay(plug::AutoplaySystem{true, false}, tool);
    }
    plug::UniqueHandle m_release{::CreateEventW(nullptr, TRUE, FALSE, kReleaseEvent)};
    MessageBoxRecorder m_boxes;
    ScopedLanguageFile m_language{AutoplayLanguage()};
};

volatile LONG g_released = 0;
volatile LONG g_inputMessages = 0;

LRESULT CALLBACK CountingInputProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if ((message >= WM_KEYFIRST && message <= WM_KEYLAST) || message == WM_MOUSEMOVE)
        ::InterlockedIncrement(&g_inputMessages);
    return ::DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI ReleaseSoon(void* event)
{
    ::Sleep(500);
    ::InterlockedExchange(&g_released, 1);
    ::SetEvent(static_cast<HANDLE>(event));
    return 0;
}

} // namespace

TEST_F(AutoplayToolWaitTest, TheToolIsWaitedForUntilItEndsWhateverInputArrives)
{
    // Key and mouse input that reaches this thread must not end the wait: a focused window of
    // this thread gets a key press and, holding the capture, a mouse move.
    HWND window = ::CreateWindowExW(0, L"STATIC", L"input", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                                    nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    ::SetForegroundWindow(window);
    ::SetFocus(window);
    ::SetCapture(window);
    INPUT input[3] = {};
    input[0].type = INPUT_KEYBOARD;
    input[0].ki.wVk = VK_SHIFT;
    input[1].type = INPUT_KEYBOARD;
    input[1].ki.wVk = VK_SHIFT;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    input[2].type = INPUT_MOUSE;
    input[2].mi.dx = 5;
    input[2].mi.dy = 5;
    input[2].mi.dwFlags = MOUSEEVENTF_MOVE;
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingInputProc));
    ASSERT_EQ(3u, ::SendInput(3, input, sizeof(INPUT)));
    g_released = 0;
    g_inputMessages = 0;
    plug::UniqueHandle releaser(::CreateThread(nullptr, 0, &ReleaseSoon, m_release.Get(), 0, nullptr));
    EXPECT_TRUE(RunCheck(60000));
    EXPECT_EQ(1, g_released) << "the check returned before the tool had ended";
    EXPECT_LT(0, g_inputMessages) << "the input was dispatched while the check waited";
    EXPECT_EQ(1u, m_boxes.Count());
    EXPECT_FALSE(Contains(TraceLog(), kToolStillRunning));
    ::WaitForSingleObject(releaser.Get(), 5000);
    ::ReleaseCapture();
    ::DestroyWindow(window);
}

TEST_F(AutoplayToolWaitTest, AToolThatDoesNotEndIsLeftRunningAfterTheBound)
{
    EXPECT_TRUE(RunCheck(300));
    EXPECT_TRUE(Contains(TraceLog(), kToolStillRunning));
}

namespace {

// The repair tool run directly, as the program starts it, with a command line.
int RunTool(const std::wstring& commandLine)
{
    ChildProcess tool = ChildProcess::Start(plug::GetModuleDirectory() + L"tools\\NorvoSetCDROMAutoRun.exe",
                                            commandLine);
    return tool.Wait();
}

} // namespace

TEST_F(AutoplayTest, ToolRefusesEveryOtherCommandLineWithoutWriting)
{
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun", 0);
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun", 0x1FF);
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kShellHw, L"Start", 4);
    for (const wchar_t* commandLine : {L"", L"autoset-0", L"autoset-2", L"autoset-257 autoset-16", L"xautoset-1",
                                       L"autoset-4294967553", L"autoset-1x", L"auto_run"}) {
        EXPECT_EQ(2, RunTool(commandLine)) << commandLine;
        EXPECT_EQ(0u, Dword(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun")) << commandLine;
        EXPECT_EQ(0x1FFu, Dword(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun")) << commandLine;
        EXPECT_EQ(4u, Dword(HKEY_LOCAL_MACHINE, kShellHw, L"Start")) << commandLine;
    }
}

TEST_F(AutoplayTest, ToolMakesExactlyTheRepairsItsNumberNames)
{
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun", 0);
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun", 0x1FF);
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kShellHw, L"Start", 4);
    EXPECT_EQ(0, RunTool(L"autoset-16"));
    EXPECT_EQ(0xDFu, Dword(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun"));
    EXPECT_EQ(0u, Dword(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun"));
    EXPECT_EQ(4u, Dword(HKEY_LOCAL_MACHINE, kShellHw, L"Start"));

    EXPECT_EQ(0, RunTool(L"autoset-257"));
    EXPECT_EQ(1u, Dword(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun"));
    EXPECT_EQ(2u, Dword(HKEY_LOCAL_MACHINE, kShellHw, L"Start"));

    m_registry.DeleteValue(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun");
    EXPECT_EQ(0, RunTool(L"autoset-16")); // an unreadable value becomes 0xDF
    EXPECT_EQ(0xDFu, Dword(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun"));
}

namespace {

// While it lives, everybody may only read the key: writes to its values fail.
class ReadOnlyKey {
public:
    ReadOnlyKey(HKEY root, const std::wstring& path)
    {
        if (::RegOpenKeyExW(root, path.c_str(), 0, READ_CONTROL | WRITE_DAC, m_key.Put()) != ERROR_SUCCESS)
            return;
        DWORD size = 0;
        ::RegGetKeySecurity(m_key.Get(), DACL_SECURITY_INFORMATION, nullptr, &size);
        m_original.resize(size);
        if (size == 0 || ::RegGetKeySecurity(m_key.Get(), DACL_SECURITY_INFORMATION, m_original.data(), &size) !=
                             ERROR_SUCCESS)
            return;
        plug::UniqueLocalMemory readOnly;
        ::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:P(A;;KR;;;WD)", SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(readOnly.Put()), nullptr);
        m_applied = readOnly && ::RegSetKeySecurity(m_key.Get(), DACL_SECURITY_INFORMATION, readOnly.Get()) ==
                                    ERROR_SUCCESS;
    }
    ~ReadOnlyKey()
    {
        if (m_applied)
            ::RegSetKeySecurity(m_key.Get(), DACL_SECURITY_INFORMATION, m_original.data());
    }
    bool Applied() const { return m_applied; }

private:
    plug::UniqueHKey m_key;
    std::vector<BYTE> m_original;
    bool m_applied = false;
};

} // namespace

TEST_F(AutoplayTest, ToolReportsAFailedWriteAndStillMakesTheOtherRepairs)
{
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun", 0);
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kShellHw, L"Start", 4);
    ReadOnlyKey cdrom(HKEY_LOCAL_MACHINE, kCdrom);
    ASSERT_TRUE(cdrom.Applied());
    EXPECT_EQ(1, RunTool(L"autoset-257"));
    EXPECT_EQ(0u, Dword(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun"));
    EXPECT_EQ(2u, Dword(HKEY_LOCAL_MACHINE, kShellHw, L"Start"));
}

TEST_F(AutoplayTest, AFailedWriteOfTheProgramEndsTheRepairWithFalse)
{
    // Before Vista: "AutoRun" cannot be written, and the hardware detection is not repaired either.
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun", 0);
    RemoveHardwareDetection();
    {
        ReadOnlyKey cdrom(HKEY_LOCAL_MACHINE, kCdrom);
        ASSERT_TRUE(cdrom.Applied());
        EXPECT_EQ("result=0 startNewTrace=0\n" + QuestionBox(BothTexts()), RunCheckAs(L"winxp", L"ok"));
        EXPECT_FALSE(RegistryValueExists(HKEY_LOCAL_MACHINE, kShellHw, L"Start"));
    }
    // Windows 7: "DisableAutoplay" cannot be written: traced, and neither the handler after it
    // nor the tool is reached.
    m_registry.SetDWORD(HKEY_CURRENT_USER, kHandlers, L"DisableAutoplay", 1);
    m_registry.SetString(HKEY_CURRENT_USER, kUserChosen, L"", L"MSTakeNoAction");
    ReadOnlyKey handlers(HKEY_CURRENT_USER, kHandlers);
    ASSERT_TRUE(handlers.Applied());
    EXPECT_EQ("result=0 startNewTrace=0\n" + QuestionBox(BothTexts()), RunCheckAs(L"win7", L"ok"));
    EXPECT_TRUE(Contains(TraceLog(), "[bRegVerify5 : DisableAutoplay] set failed !!.....\n"));
    EXPECT_FALSE(Contains(TraceLog(), kToolCalled));
    EXPECT_EQ(L"MSTakeNoAction", ReadRegistryString(HKEY_CURRENT_USER, kUserChosen, L""));
    EXPECT_EQ(0u, Dword(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun"));
}
