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

#include <gtest/gtest.h>
#include <sddl.h>

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

const char kBanner[] = "=============[CPlugstartApp::SetCDROMAutoRun() CD START]==============\r\n";
const char kToolCalled[] = "[SetCDROMAutoRun.exe Call File Name] ";
const char kToolStillRunning[] = "[SetCDROMAutoRun.exe] Still running after";

// The question as the child reports it: no owner, OK/Cancel with the warning icon, the title.
const char kOnlyOption1[] = "box owner=none style=0x31 caption=Test Installer text=Auto-run is off.|Turn it on?\n";
const char kBothOptions[] =
    "box owner=none style=0x31 caption=Test Installer text=Auto-run is off.|Turn it on?||A policy too.\n";

std::wstring TraceFile()
{
    wchar_t folder[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, folder);
    return std::wstring(folder) + L"Plugstart_trace.log";
}
std::string TraceLog() { return ReadBinaryFile(TraceFile()); }
bool Traced(const std::string& text) { return TraceLog().find(text) != std::string::npos; }

std::wstring ToolPath() { return plug::GetModuleDirectory() + L"tools\\NorvoSetCDROMAutoRun.exe"; }

} // namespace

// The check as a CD start makes it, with the question answered "ok" or "cancel"; prints the
// result and each box (line breaks of the text as "|").
PLUGTEST_CHILD_MODE(autoplay_check)
{
    MessageBoxRecorder boxes;
    boxes.QueueAnswer(!arguments.empty() && arguments[0] == L"cancel" ? IDCANCEL : IDOK);
    std::map<std::wstring, std::wstring> language = StandardLanguage();
    language[L"STR_STRING_CDROM_AUTO_OPTION_1"] = L"Auto-run is off.\\nTurn it on?";
    language[L"STR_STRING_CDROM_AUTO_OPTION_4"] = L"A policy too.";
    ScopedLanguageFile languageFile(language);
    CPlugstartApp app;
    BOOL result = app.SetCDROMAutoRun();
    std::printf("result=%d startNewTrace=%d\n", result, static_cast<int>(app.m_bStartNewTrace));
    for (const RecordedBox& box : boxes.Boxes()) {
        std::string text = plug::ToUtf8(box.text);
        std::replace(text.begin(), text.end(), '\n', '|');
        std::printf("box owner=%s style=0x%X caption=%s text=%s\n", box.owner ? "window" : "none", box.style,
                    plug::ToUtf8(box.caption).c_str(), text.c_str());
    }
    return 0;
}

namespace {

// The seven values the check reads, put back as they were when the test ends. Each test starts
// from a PC on which nothing stands in the way.
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
        return output;
    }

    DWORD Dword(HKEY root, const wchar_t* path, const wchar_t* name)
    {
        DWORD value = 0xDEADBEEF;
        EXPECT_TRUE(ReadRegistryDword(root, path, name, &value)) << path << L"\\" << name;
        return value;
    }
    bool Exists(HKEY root, const wchar_t* path, const wchar_t* name) { return RegistryValueExists(root, path, name); }

    // As on a fresh Wine prefix: no ShellHWDetection key (only its value when the prefix has one).
    void RemoveHardwareDetection()
    {
        m_registry.DeleteValue(HKEY_LOCAL_MACHINE, kShellHw, L"Start");
        if (!m_shellHwKeyExisted)
            ScopedRegistry::DeleteTree(HKEY_LOCAL_MACHINE, kShellHw);
    }

    // Every setting in the way; the user's policy is hidden by the machine's.
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

    ScopedRegistry m_registry;
    bool m_shellHwKeyExisted = false;
};

} // namespace

TEST_F(AutoplayTest, OnXpOkRepairsTheBlockingSettingsDirectlyAndNothingElse)
{
    BlockEverything();
    EXPECT_EQ(std::string("result=1 startNewTrace=0\n") + kBothOptions, RunCheckAs(L"winxp", L"ok"));
    EXPECT_EQ(1u, Dword(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun"));
    EXPECT_EQ(0x95u, Dword(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun"));
    EXPECT_EQ(2u, Dword(HKEY_LOCAL_MACHINE, kShellHw, L"Start"));
    // Hidden by the machine's policy, or not looked at before Vista: left alone.
    EXPECT_EQ(0xFFu, Dword(HKEY_CURRENT_USER, kUserPolicies, L"NoDriveTypeAutoRun"));
    EXPECT_EQ(1u, Dword(HKEY_CURRENT_USER, kHandlers, L"DisableAutoplay"));
    EXPECT_EQ(L"MSTakeNoAction", ReadRegistryString(HKEY_CURRENT_USER, kDefaultSelection, L""));
    EXPECT_FALSE(Traced(kToolCalled));
}

TEST_F(AutoplayTest, CancelWritesNothing)
{
    BlockEverything();
    EXPECT_EQ(std::string("result=1 startNewTrace=0\n") + kBothOptions, RunCheckAs(L"winxp", L"cancel"));
    EXPECT_EQ(0u, Dword(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun"));
    EXPECT_EQ(0xB5u, Dword(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun"));
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, kShellHw, L"Start"));
    EXPECT_TRUE(Traced("************* [User cancel the CDROM autorun] **************\n"));
}

TEST_F(AutoplayTest, NothingInTheWayAsksNothing)
{
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun", 0x91);
    m_registry.SetDWORD(HKEY_CURRENT_USER, kUserPolicies, L"NoDriveTypeAutoRun", 0xFF); // not read
    m_registry.SetString(HKEY_CURRENT_USER, kUserChosen, L"", L"MSPromptEachTime");
    for (const wchar_t* windowsVersion : {L"winxp", L"win7"}) {
        EXPECT_EQ("result=1 startNewTrace=0\n", RunCheckAs(windowsVersion, L"ok")) << windowsVersion;
        EXPECT_TRUE(Traced("************* [No need set CDROM autorun] **************\n"));
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

    EXPECT_EQ(std::string("result=1 startNewTrace=0\n") + kBothOptions, RunCheckAs(L"win7", L"ok"));
    EXPECT_EQ(0x95u, Dword(HKEY_CURRENT_USER, kUserPolicies, L"NoDriveTypeAutoRun"));
    EXPECT_EQ(0u, Dword(HKEY_CURRENT_USER, kHandlers, L"DisableAutoplay"));
    EXPECT_EQ(L"MSAutoRun", ReadRegistryString(HKEY_CURRENT_USER, kDefaultSelection, L""));
    EXPECT_EQ(L"MSPromptEachTime", ReadRegistryString(HKEY_CURRENT_USER, kUserChosen, L""));
    // The tool ran with autoset-257 and was waited for: "AutoRun" and "Start" are repaired, and
    // the machine's policy, which was not in the way, is still absent.
    EXPECT_TRUE(Traced(kToolCalled + plug::ToUtf8(ToolPath())));
    EXPECT_EQ(1u, Dword(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun"));
    EXPECT_EQ(2u, Dword(HKEY_LOCAL_MACHINE, kShellHw, L"Start"));
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun"));
}

TEST_F(AutoplayTest, OnWindows7OnlyDisabledAutoplayAsksTheFirstTextAndRunsNoTool)
{
    m_registry.SetDWORD(HKEY_CURRENT_USER, kHandlers, L"DisableAutoplay", 1);
    EXPECT_EQ(std::string("result=1 startNewTrace=0\n") + kOnlyOption1, RunCheckAs(L"win7", L"ok"));
    EXPECT_EQ(0u, Dword(HKEY_CURRENT_USER, kHandlers, L"DisableAutoplay"));
    EXPECT_FALSE(Traced(kToolCalled));
}

TEST_F(AutoplayTest, OnWindows7AMissingToolIsOnlyTraced)
{
    std::wstring aside = ToolPath() + L".aside";
    ASSERT_TRUE(::MoveFileExW(ToolPath().c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING));
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun", 0);
    std::string output = RunCheckAs(L"win7", L"ok");
    ::MoveFileExW(aside.c_str(), ToolPath().c_str(), MOVEFILE_REPLACE_EXISTING);
    EXPECT_EQ(std::string("result=1 startNewTrace=0\n") + kOnlyOption1, output);
    EXPECT_TRUE(Traced("[IsExistFile(strVistaCDAutoRun)] Not found file !!.....\n"));
    EXPECT_EQ(0u, Dword(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun"));
}

namespace {

// While it lives, everybody may only read the key: writes to its values fail.
class ReadOnlyKey {
public:
    ReadOnlyKey(HKEY root, const std::wstring& path)
    {
        DWORD size = 0;
        if (::RegOpenKeyExW(root, path.c_str(), 0, READ_CONTROL | WRITE_DAC, m_key.Put()) != ERROR_SUCCESS ||
            ::RegGetKeySecurity(m_key.Get(), DACL_SECURITY_INFORMATION, nullptr, &size) != ERROR_INSUFFICIENT_BUFFER)
            return;
        m_original.resize(size);
        plug::UniqueLocalMemory readOnly;
        m_applied = ::RegGetKeySecurity(m_key.Get(), DACL_SECURITY_INFORMATION, m_original.data(), &size) ==
                        ERROR_SUCCESS &&
                    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                        L"D:P(A;;KR;;;WD)", SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(readOnly.Put()),
                        nullptr) &&
                    ::RegSetKeySecurity(m_key.Get(), DACL_SECURITY_INFORMATION, readOnly.Get()) == ERROR_SUCCESS;
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

TEST_F(AutoplayTest, AFailedWriteOfTheProgramEndsTheRepairWithFalse)
{
    // Before Vista: "AutoRun" cannot be written, and the hardware detection is not repaired either.
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun", 0);
    RemoveHardwareDetection();
    {
        ReadOnlyKey cdrom(HKEY_LOCAL_MACHINE, kCdrom);
        ASSERT_TRUE(cdrom.Applied());
        EXPECT_EQ(std::string("result=0 startNewTrace=0\n") + kBothOptions, RunCheckAs(L"winxp", L"ok"));
        EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, kShellHw, L"Start"));
    }
    // Windows 7: "DisableAutoplay" cannot be written: traced, and neither the handler after it
    // nor the tool is reached.
    m_registry.SetDWORD(HKEY_CURRENT_USER, kHandlers, L"DisableAutoplay", 1);
    m_registry.SetString(HKEY_CURRENT_USER, kUserChosen, L"", L"MSTakeNoAction");
    ReadOnlyKey handlers(HKEY_CURRENT_USER, kHandlers);
    ASSERT_TRUE(handlers.Applied());
    EXPECT_EQ(std::string("result=0 startNewTrace=0\n") + kBothOptions, RunCheckAs(L"win7", L"ok"));
    EXPECT_TRUE(Traced("[bRegVerify5 : DisableAutoplay] set failed !!.....\n"));
    EXPECT_FALSE(Traced(kToolCalled));
    EXPECT_EQ(L"MSTakeNoAction", ReadRegistryString(HKEY_CURRENT_USER, kUserChosen, L""));
}

namespace {

int RunTool(const std::wstring& commandLine) { return ChildProcess::Start(ToolPath(), commandLine).Wait(); }

} // namespace

TEST_F(AutoplayTest, ToolMakesExactlyTheRepairsItsNumberNamesAndRefusesAnythingElse)
{
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun", 0);
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun", 0x1FF);
    m_registry.SetDWORD(HKEY_LOCAL_MACHINE, kShellHw, L"Start", 4);
    for (const wchar_t* commandLine : {L"", L"autoset-0", L"autoset-2", L"autoset-257 autoset-16", L"xautoset-1",
                                       L"autoset-4294967553", L"auto_run"})
        EXPECT_EQ(2, RunTool(commandLine)) << commandLine;
    EXPECT_EQ(0u, Dword(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun"));
    EXPECT_EQ(0x1FFu, Dword(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun"));
    EXPECT_EQ(4u, Dword(HKEY_LOCAL_MACHINE, kShellHw, L"Start"));

    EXPECT_EQ(0, RunTool(L"autoset-16"));
    EXPECT_EQ(0xDFu, Dword(HKEY_LOCAL_MACHINE, kPolicies, L"NoDriveTypeAutoRun"));
    EXPECT_EQ(0u, Dword(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun"));
    EXPECT_EQ(4u, Dword(HKEY_LOCAL_MACHINE, kShellHw, L"Start"));

    // A write that fails is reported; the other repairs are made all the same.
    ReadOnlyKey cdrom(HKEY_LOCAL_MACHINE, kCdrom);
    ASSERT_TRUE(cdrom.Applied());
    EXPECT_EQ(1, RunTool(L"autoset-257"));
    EXPECT_EQ(0u, Dword(HKEY_LOCAL_MACHINE, kCdrom, L"AutoRun"));
    EXPECT_EQ(2u, Dword(HKEY_LOCAL_MACHINE, kShellHw, L"Start"));
}

namespace {

const wchar_t kReleaseEvent[] = L"PlugstartTest.ReleaseWaitingTool";
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

// The check on Vista and later in this process ("AutoRun" 0 makes it start the tool), with a
// stand-in tool that runs until the release event is set.
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
    ScopedLanguageFile m_language{StandardLanguage()};
};

} // namespace

TEST_F(AutoplayToolWaitTest, TheToolIsWaitedForUntilItEndsWhateverInputArrives)
{
    // A focused window of this thread gets a key press and, holding the capture, a mouse move.
    HWND window = ::CreateWindowExW(0, L"STATIC", L"input", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                    nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingInputProc));
    ::SetForegroundWindow(window);
    ::SetFocus(window);
    ::SetCapture(window);
    INPUT input[3] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = VK_SHIFT;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    input[2].type = INPUT_MOUSE;
    input[2].mi.dx = 5;
    input[2].mi.dwFlags = MOUSEEVENTF_MOVE;
    ASSERT_EQ(3u, ::SendInput(3, input, sizeof(INPUT)));
    g_released = 0;
    g_inputMessages = 0;
    plug::UniqueHandle releaser(::CreateThread(nullptr, 0, &ReleaseSoon, m_release.Get(), 0, nullptr));

    EXPECT_TRUE(RunCheck(60000));
    EXPECT_EQ(1, g_released) << "the check returned before the tool had ended";
    EXPECT_LT(0, g_inputMessages) << "the input was dispatched while the check waited";
    EXPECT_FALSE(Traced(kToolStillRunning));
    ::WaitForSingleObject(releaser.Get(), 5000);
    ::ReleaseCapture();
    ::DestroyWindow(window);
}

TEST_F(AutoplayToolWaitTest, AToolThatDoesNotEndIsLeftRunningAfterTheBound)
{
    EXPECT_TRUE(RunCheck(300));
    EXPECT_TRUE(Traced(kToolStillRunning));
}
