// Start-up of the application object: language file, command line, second instance, autoplay.
#include "app/PlugstartApp.h"
#include "common/ChildProcess.h"
#include "common/MessageBoxRecorder.h"
#include "common/TestFiles.h"
#include "config/ConfigFile.h"
#include "config/Language.h"
#include "config/ModulePath.h"

#include <gtest/gtest.h>

using namespace plugtest;

namespace {

const wchar_t kReadyEvent[] = L"PlugstartTest.FirstInstanceReady";
const wchar_t kDoneEvent[] = L"PlugstartTest.FirstInstanceDone";

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_languagePath = plug::GetModuleDirectory() + plug::SelectLanguageFile();
        CreateFolders(m_languagePath.substr(0, m_languagePath.rfind(L'\\')));
        WriteUtf16File(m_languagePath, ProfileText(L"STRING", StandardLanguage()));
    }
    void TearDown() override
    {
        RemoveFileForced(m_languagePath);
        plug::SetLanguageFile(L"");
    }

    // Runs the start-up steps for a command line; the app object lives in the fixture.
    BOOL StartWith(const wchar_t* commandLine)
    {
        m_app.m_lpCmdLine = commandLine;
        return m_app.StartUp();
    }

    std::wstring m_languagePath;
    MessageBoxRecorder m_boxes;
    CPlugstartApp m_app;
};

} // namespace

TEST_F(StartupTest, MissingLanguageFileShowsFixedMessageAndCreatesNoMutex)
{
    RemoveFileForced(m_languagePath);
    EXPECT_FALSE(StartWith(L""));
    ASSERT_EQ(1u, m_boxes.Count());
    RecordedBox box = m_boxes.Boxes()[0];
    EXPECT_EQ(L"Norvo Installer", box.caption);
    EXPECT_EQ(L"Cannot found language resource file.\n\n(" + m_languagePath + L")", box.text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION | MB_OK), box.style);
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_FALSE(m_app.m_hInstanceMutex.IsValid());
}

TEST_F(StartupTest, CdStartHasNoArgumentAndNoDriveLetter)
{
    EXPECT_TRUE(StartWith(L""));
    EXPECT_TRUE(m_app.m_strArgument.empty());
    EXPECT_TRUE(m_app.m_strDriveLetter.empty());
    EXPECT_EQ(0u, m_boxes.Count());
    EXPECT_EQ(m_languagePath, plug::LanguageFilePath());
    EXPECT_TRUE(m_app.m_hInstanceMutex.IsValid());
    EXPECT_EQ(nullptr, m_app.OtherInstanceWindow()); // the first instance finds nobody
}

TEST_F(StartupTest, PcStartTakesTheLetterAfterDashLAndBlank)
{
    EXPECT_TRUE(StartWith(L"-l E"));
    EXPECT_EQ(L"-l E", m_app.m_strArgument);
    EXPECT_EQ(L"E", m_app.m_strDriveLetter);
}

TEST_F(StartupTest, PcStartTakesTheLetterByPositionNotByParsing)
{
    EXPECT_TRUE(StartWith(L"-l  E"));
    EXPECT_EQ(L" ", m_app.m_strDriveLetter);
    m_app.m_hInstanceMutex.Reset();
    EXPECT_TRUE(StartWith(L"x -l E"));
    EXPECT_EQ(L"l", m_app.m_strDriveLetter);
    EXPECT_EQ(L"x -l E", m_app.m_strArgument);
}

TEST_F(StartupTest, DashLWithoutLetterStopsWithMessage003)
{
    for (const wchar_t* commandLine : {L"-l", L"-lE", L"-l "}) {
        m_boxes.Clear();
        m_app.m_hInstanceMutex.Reset();
        EXPECT_FALSE(StartWith(commandLine)) << commandLine;
        ASSERT_EQ(1u, m_boxes.Count()) << commandLine;
        EXPECT_EQ(L"no drive letter", m_boxes.Boxes()[0].text);
        EXPECT_EQ(L"Test Installer", m_boxes.Boxes()[0].caption);
        EXPECT_EQ(static_cast<UINT>(0x30), m_boxes.Boxes()[0].style);
        EXPECT_TRUE(m_app.m_hInstanceMutex.IsValid()); // kept until ExitInstance
    }
    m_app.ExitInstance();
    EXPECT_FALSE(m_app.m_hInstanceMutex.IsValid());
}

// The first instance, as a separate process: holds the mutex and shows (or hides) a window
// under the given title until the test is done with it.
PLUGTEST_CHILD_MODE(first_instance)
{
    bool visible = arguments.size() > 1 && arguments[1] == L"visible";
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, L"Norvo Plugstart Program");
    HWND window = ::CreateWindowExW(0, L"STATIC", arguments.empty() ? L"" : arguments[0].c_str(),
                                    WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 0, 0, 200, 100, nullptr, nullptr,
                                    nullptr, nullptr);
    HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, kReadyEvent);
    HANDLE done = ::OpenEventW(SYNCHRONIZE, FALSE, kDoneEvent);
    ::SetEvent(ready);
    ::WaitForSingleObject(done, 30000);
    ::DestroyWindow(window);
    ::CloseHandle(mutex);
    return 0;
}

namespace {
// Starts the first instance and waits until its window exists.
ChildProcess StartFirstInstance(const std::wstring& title, bool visible, HANDLE ready)
{
    ChildProcess first = ChildProcess::StartMode(L"first_instance",
                                                 L"\"" + title + L"\" " + (visible ? L"visible" : L"hidden"));
    ::WaitForSingleObject(ready, 30000);
    return first;
}
} // namespace

TEST_F(StartupTest, SecondInstanceFindsTheFirstOnesVisibleWindowByTitle)
{
    plug::UniqueHandle ready(::CreateEventW(nullptr, TRUE, FALSE, kReadyEvent));
    plug::UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, kDoneEvent));
    ChildProcess first = StartFirstInstance(L"Test Installer", true, ready.Get());
    ASSERT_TRUE(first.IsStarted());

    EXPECT_TRUE(StartWith(L""));
    HWND found = m_app.OtherInstanceWindow();
    ASSERT_NE(nullptr, found);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(found, &owner);
    EXPECT_EQ(first.ProcessId(), owner);
    ::SetEvent(done.Get());
    EXPECT_EQ(0, first.Wait());
}

TEST_F(StartupTest, SecondInstanceIgnoresHiddenOrOtherlyTitledWindows)
{
    plug::UniqueHandle ready(::CreateEventW(nullptr, TRUE, FALSE, kReadyEvent));
    plug::UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, kDoneEvent));
    {
        ChildProcess hidden = StartFirstInstance(L"Test Installer", false, ready.Get());
        EXPECT_TRUE(StartWith(L""));
        EXPECT_EQ(nullptr, m_app.OtherInstanceWindow());
        ::SetEvent(done.Get());
        hidden.Wait();
    }
    ::ResetEvent(ready.Get());
    ::ResetEvent(done.Get());
    m_app.m_hInstanceMutex.Reset();
    {
        ChildProcess otherLanguage = StartFirstInstance(L"Installateur", true, ready.Get());
        EXPECT_TRUE(StartWith(L""));
        EXPECT_EQ(nullptr, m_app.OtherInstanceWindow());
        ::SetEvent(done.Get());
        otherLanguage.Wait();
    }
}

// A language file without a title must not make any untitled window look like the other instance.
TEST_F(StartupTest, EmptyTitleNeverMatchesAWindow)
{
    WriteUtf16File(m_languagePath, ProfileText(L"STRING", {{L"STR_STRING_BTN_CANCEL", L"Cancel"}}));
    plug::UniqueHandle ready(::CreateEventW(nullptr, TRUE, FALSE, kReadyEvent));
    plug::UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, kDoneEvent));
    ChildProcess first = StartFirstInstance(L"", true, ready.Get());
    EXPECT_TRUE(StartWith(L""));
    EXPECT_EQ(nullptr, m_app.OtherInstanceWindow());
    ::SetEvent(done.Get());
    first.Wait();
}

class AutoplayDecisionTest : public StartupTest {
protected:
    void WriteConfig(const wchar_t* itkType, const wchar_t* autoset)
    {
        std::wstring text = ProfileText(L"ITK", {{L"itk_type", itkType}}) +
                            ProfileText(L"DRIVER", {{L"cdrom_autoset", autoset}});
        WriteUtf16File(m_config.Path(), text);
    }
    ScopedFile m_config{plug::GetModuleDirectory() + L"config.ini"};
};

TEST_F(AutoplayDecisionTest, CdStartChecksAutoplayOnlyForKitTypes1And2WithAutosetOn)
{
    ASSERT_TRUE(StartWith(L""));
    WriteConfig(L"1", L"1");
    EXPECT_TRUE(m_app.ShouldCheckAutoplay());
    WriteConfig(L"2", L"1");
    EXPECT_TRUE(m_app.ShouldCheckAutoplay());
    WriteConfig(L"3", L"1");
    EXPECT_FALSE(m_app.ShouldCheckAutoplay());
    WriteConfig(L"0", L"1");
    EXPECT_FALSE(m_app.ShouldCheckAutoplay());
    WriteConfig(L"1", L"0");
    EXPECT_FALSE(m_app.ShouldCheckAutoplay());
}

TEST_F(AutoplayDecisionTest, PcStartNeverChecksAutoplay)
{
    ASSERT_TRUE(StartWith(L"-l E"));
    WriteConfig(L"1", L"1");
    EXPECT_FALSE(m_app.ShouldCheckAutoplay());
}
