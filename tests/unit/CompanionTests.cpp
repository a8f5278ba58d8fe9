// The PC-suite guide dialog under Wine, with the stand-in download-check library (sim/) placed
// beside the test or left out, its answers scripted through its profile file, and the browser
// replaced by a recorder of the addresses it would have opened.
#include "common/ChildProcess.h"
#include "common/MessageBoxRecorder.h"
#include "common/TestFiles.h"
#include "companion/CDWebInstallerDlg.h"
#include "companion/DownloadCheckLibrary.h"
#include "config/ModulePath.h"
#include "framework/LibrarySearch.h"
#include "res/resource.h"
#include "sim/DownloadCheckFiles.h"

#include <gtest/gtest.h>

#include <vector>

using namespace plugtest;

namespace {

const UINT_PTR kScriptTimer = 91;
const int kStillOpen = 77;

std::vector<std::wstring> g_opened;
void RecordAddress(const std::wstring& address) { g_opened.push_back(address); }

// The guide with a script of messages posted one per timer tick once it is on screen; when the
// script has run out it records its layout and ends with kStillOpen.
class TestGuideDlg : public CCDWebInstallerDlg {
public:
    std::vector<MSG> script;
    bool everShown = false;
    bool downloadShown = false;
    bool okShown = false;
    bool closeShown = false;
    bool installCdShown = true;
    POINT okAt = {}, downloadAt = {}, closeAt = {};
    SIZE size = {};

protected:
    BOOL OnInitDialog() override
    {
        CCDWebInstallerDlg::OnInitDialog();
        if (IsModalLoopRunning())
            ::SetTimer(m_hWnd, kScriptTimer, 20, nullptr);
        return TRUE;
    }
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (message == WM_SHOWWINDOW && wParam)
            everShown = true;
        if (message == WM_TIMER && wParam == kScriptTimer) {
            if (m_next < script.size()) {
                ::PostMessageW(m_hWnd, script[m_next].message, script[m_next].wParam, script[m_next].lParam);
                ++m_next;
            } else {
                RecordLayout();
                EndDialog(kStillOpen);
            }
            return TRUE;
        }
        return CCDWebInstallerDlg::OnMessage(message, wParam, lParam, result);
    }

private:
    POINT At(const CWnd& button) const
    {
        RECT rect = {};
        ::GetWindowRect(button.m_hWnd, &rect);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        return POINT{rect.left, rect.top};
    }
    void RecordLayout()
    {
        downloadShown = ::IsWindowVisible(m_btnDownload.m_hWnd) != FALSE;
        okShown = ::IsWindowVisible(m_btnOK.m_hWnd) != FALSE;
        closeShown = ::IsWindowVisible(m_btnClose.m_hWnd) != FALSE;
        installCdShown = ::IsWindowVisible(m_btnInstallCD.m_hWnd) != FALSE;
        okAt = At(m_btnOK);
        downloadAt = At(m_btnDownload);
        closeAt = At(m_btnClose);
        RECT window = {};
        ::GetWindowRect(m_hWnd, &window);
        size = SIZE{window.right - window.left, window.bottom - window.top};
    }
    size_t m_next = 0;
};

MSG Command(int id)
{
    MSG message = {};
    message.message = WM_COMMAND;
    message.wParam = MAKEWPARAM(id, BN_CLICKED);
    return message;
}

MSG Key(UINT message, WPARAM key)
{
    MSG posted = {};
    posted.message = message;
    posted.wParam = key;
    return posted;
}

class Guide : public ::testing::Test {
protected:
    Guide()
    {
        g_opened.clear();
        m_previousOpener = plug::SetDownloadAddressOpener(&RecordAddress);
        ::CreateDirectoryW(L"C:\\plugstart_sim", nullptr);
        WriteConfig(L"1.0.0.0");
    }
    ~Guide() override { plug::SetDownloadAddressOpener(m_previousOpener); }

    // The stand-in library beside the program, where the dialog's search finds it first.
    void PlaceLibrary()
    {
        ASSERT_TRUE(::CopyFileW((plug::GetModuleDirectory() + L"download_check\\NorvoPsLvDlChk.dll").c_str(),
                                m_library.Path().c_str(), FALSE));
    }
    void Answer(int result, const std::string& resultText, const std::string& candidate1,
                const std::string& candidate2 = "", const std::string& candidate3 = "", bool unterminated = false)
    {
        std::string profile = "[answer]\r\nresult=" + std::to_string(result) + "\r\nresult_text=" + resultText;
        profile += "\r\ncandidate1=" + candidate1 + "\r\ncandidate2=" + candidate2 + "\r\ncandidate3=" + candidate3;
        profile += std::string("\r\nunterminated=") + (unterminated ? "1" : "0") + "\r\n";
        WriteBinaryFile(m_answer.Path(), profile);
    }
    void WriteConfig(const std::wstring& version, const std::wstring& cdInclude = L"1")
    {
        WriteUtf16File(m_config.Path(), ProfileText(L"WEB", {{L"norvopcsuite_test_ver", version},
                                                             {L"cd_include", cdInclude},
                                                             {L"norvopcsuite_def_downurl", L"download/pcsuite"}}));
    }

    std::vector<std::wstring> MessageKeys()
    {
        std::vector<std::wstring> texts;
        for (const RecordedBox& box : m_boxes.Boxes()) {
            EXPECT_EQ(nullptr, box.owner);
            EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION | MB_OK), box.style);
            EXPECT_EQ(L"Test Installer", box.caption);
            texts.push_back(box.text);
        }
        return texts;
    }

    static std::map<std::wstring, std::wstring> Texts()
    {
        std::map<std::wstring, std::wstring> texts = StandardLanguage();
        for (const wchar_t* key :
             {L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE", L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_0",
              L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_2", L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_3",
              L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_4", L"STR_STRING_BTN_OK", L"STR_STRING_INSTALL_GUIDE_DOWNLOAD"})
            texts[key] = key; // a box's text names its key
        return texts;
    }

    plug::AddressOpener m_previousOpener = nullptr;
    ScopedLanguageFile m_language{Texts()};
    MessageBoxRecorder m_boxes;
    ScopedFile m_config{plug::GetModuleDirectory() + L"config.ini"};
    ScopedFile m_library{plug::GetModuleDirectory() + L"NorvoPsLvDlChk.dll"};
    ScopedFile m_answer{sim::kDownloadCheckProfile};
    ScopedFile m_log{sim::kDownloadCheckLog};
};

} // namespace

TEST_F(Guide, PcSuiteCdInADriveEndsTheDialogAtOnceWithoutAskingTheLibrary)
{
    ASSERT_EQ(static_cast<UINT>(DRIVE_CDROM), ::GetDriveTypeW(L"R:\\")) << "the test prefix has a CD-ROM drive R:";
    PlaceLibrary();
    Answer(1, "MSG_SUCCESS", "http://dl.example.com");
    ::CreateDirectoryW(L"R:\\tools", nullptr);
    ScopedFile installIni(L"R:\\tools\\install.ini");
    WriteBinaryFile(installIni.Path(), "[setup]\r\n");

    TestGuideDlg dialog;
    EXPECT_EQ(1, dialog.DoModal());
    EXPECT_FALSE(dialog.everShown);
    EXPECT_TRUE(ReadBinaryFile(m_log.Path()).empty());
    EXPECT_EQ(0u, m_boxes.Count());
}

TEST_F(Guide, WithoutTheLibraryOnlyOkIsOfferedAndDownloadExplainsWhy)
{
    TestGuideDlg dialog;
    dialog.script = {Command(IDC_GUIDE_DOWNLOAD)};
    EXPECT_EQ(kStillOpen, dialog.DoModal());
    EXPECT_TRUE(dialog.everShown);
    EXPECT_FALSE(dialog.m_bDownloadAvailable);
    EXPECT_FALSE(dialog.downloadShown);
    EXPECT_FALSE(dialog.installCdShown);
    EXPECT_TRUE(dialog.okShown);
    EXPECT_EQ(335, dialog.okAt.x);
    EXPECT_EQ(239, dialog.okAt.y);
    EXPECT_TRUE(dialog.closeShown);
    EXPECT_EQ(426, dialog.closeAt.x);
    EXPECT_EQ(8, dialog.closeAt.y);
    EXPECT_EQ(450, dialog.size.cx);
    EXPECT_EQ(290, dialog.size.cy);
    std::vector<std::wstring> expected = {L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_0",
                                          L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE"};
    EXPECT_EQ(expected, MessageKeys());
    EXPECT_TRUE(g_opened.empty());
}

TEST_F(Guide, OkAndCloseEndTheDialogButEnterEscapeAndClosingDoNot)
{
    for (int id : {IDC_GUIDE_OK, IDC_GUIDE_CLOSE}) {
        TestGuideDlg dialog;
        dialog.script = {Command(id)};
        EXPECT_EQ(1, dialog.DoModal()) << id;
    }
    TestGuideDlg dialog;
    dialog.script = {Key(WM_KEYDOWN, VK_RETURN), Key(WM_KEYDOWN, VK_ESCAPE), Key(WM_CLOSE, 0),
                     Key(WM_SYSCOMMAND, SC_CLOSE)};
    EXPECT_EQ(kStillOpen, dialog.DoModal());
}

TEST_F(Guide, SuccessfulCheckOffersDownloadWhichOpensTheServersDownloadAddress)
{
    PlaceLibrary();
    Answer(1, "MSG_SUCCESS", "", "http://dl.example.com", "http://second.example.com/");
    TestGuideDlg dialog;
    dialog.script = {Command(IDC_GUIDE_DOWNLOAD)};
    EXPECT_EQ(1, dialog.DoModal());
    EXPECT_TRUE(dialog.m_bDownloadAvailable);
    ASSERT_EQ(1u, g_opened.size());
    EXPECT_EQ(L"http://dl.example.com/download/pcsuite", g_opened[0]);
    EXPECT_EQ(L"http://dl.example.com/download/pcsuite", dialog.m_strDownloadURL);
    EXPECT_EQ(0u, m_boxes.Count());
    // The library was asked twice (silently at the start, then for the download), each time with
    // zeroed buffers, "TRUE" and the configured version.
    EXPECT_EQ("flag=TRUE\tversion=1.0.0.0\tzeroed=1\r\nflag=TRUE\tversion=1.0.0.0\tzeroed=1\r\n",
              ReadBinaryFile(m_log.Path()));
}

TEST_F(Guide, DownloadButtonSitsLeftOfOk)
{
    PlaceLibrary();
    Answer(1, "MSG_SUCCESS", "http://dl.example.com/");
    TestGuideDlg dialog;
    EXPECT_EQ(kStillOpen, dialog.DoModal());
    EXPECT_TRUE(dialog.downloadShown);
    EXPECT_EQ(130, dialog.downloadAt.x);
    EXPECT_EQ(239, dialog.downloadAt.y);
    EXPECT_EQ(230, dialog.okAt.x);
    EXPECT_EQ(239, dialog.okAt.y);
}

TEST_F(Guide, VersionTextIsCutToNineteenBytes)
{
    WriteConfig(L"12345678901234567890123");
    PlaceLibrary();
    Answer(0, "", "");
    TestGuideDlg dialog;
    EXPECT_EQ(kStillOpen, dialog.DoModal());
    EXPECT_EQ("flag=TRUE\tversion=1234567890123456789\tzeroed=1\r\n", ReadBinaryFile(m_log.Path()));
}

TEST_F(Guide, TextsWithoutTerminatingZeroAreReadOnlyWithinTheirBuffers)
{
    PlaceLibrary();
    const std::string server = "http://long.example.com/abcdefghijklmnopqrstuvwxyz";
    Answer(1, "MSG_SUCCESS;", "", server, "http://third.example.com", true);
    TestGuideDlg dialog;
    dialog.script = {Command(IDC_GUIDE_DOWNLOAD)};
    EXPECT_EQ(1, dialog.DoModal());
    std::string filled;
    while (filled.size() < 250)
        filled += server;
    filled.resize(250); // the whole buffer, and not a byte of the next one
    std::wstring expected(filled.begin(), filled.end());
    if (expected.back() != L'/')
        expected += L'/';
    ASSERT_EQ(1u, g_opened.size());
    EXPECT_EQ(expected + L"download/pcsuite", g_opened[0]);
}

TEST_F(Guide, OnlyWebAddressesAreOpened)
{
    PlaceLibrary();
    struct Case {
        const char* candidate;
        const wchar_t* opened; // nullptr: nothing opened, the dialog stays with a message
    } cases[] = {
        {"file:///C:/Windows/system32/calc.exe?http://dl.example.com", nullptr},
        {"\\\\server\\share\\http://x", nullptr},
        {"", nullptr}, // success without any server
        {"HTTPS://Secure.Example.com", L"HTTPS://Secure.Example.com/download/pcsuite"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.candidate);
        g_opened.clear();
        m_boxes.Clear();
        Answer(1, "MSG_SUCCESS", c.candidate);
        TestGuideDlg dialog;
        dialog.script = {Command(IDC_GUIDE_DOWNLOAD)};
        INT_PTR code = dialog.DoModal();
        if (c.opened) {
            EXPECT_EQ(1, code);
            ASSERT_EQ(1u, g_opened.size());
            EXPECT_EQ(c.opened, g_opened[0]);
            EXPECT_EQ(0u, m_boxes.Count());
        } else {
            EXPECT_EQ(kStillOpen, code);
            EXPECT_TRUE(g_opened.empty());
            EXPECT_EQ(std::vector<std::wstring>{L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE"}, MessageKeys());
        }
    }
}

TEST_F(Guide, ServerAndFunctionErrorsAreExplainedAndTheDialogStays)
{
    PlaceLibrary();
    const std::wstring none = L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE"; // no usable address
    struct Case {
        int result;
        const char* text;
        std::vector<std::wstring> messages;
    } cases[] = {
        {0, "MSG_SERVER_CONN_ERROR", {L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_2", none}},
        {1, "MSG_SERVER_FAIL", {L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_3", none}},
        {0, "x MSG_FUNCTION_FAIL x", {L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_4", none}},
        {0, "MSG_SUCCESS", {none}}, // a failed check has no address
        {1, "MSG_SOMETHING_ELSE", {none}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        m_boxes.Clear();
        Answer(c.result, c.text, "http://dl.example.com");
        TestGuideDlg dialog;
        dialog.script = {Command(IDC_GUIDE_DOWNLOAD)};
        EXPECT_EQ(kStillOpen, dialog.DoModal());
        EXPECT_EQ(c.messages, MessageKeys());
        EXPECT_TRUE(g_opened.empty());
    }
}

// --- Where the download-check library is taken from ---

// Arguments: the folder that holds the library, "cwd" (it is the current directory) or "path"
// (it is first on PATH), and "harden" when the start-up's library search is to be set first.
// Exits 1 when the library was loaded, 0 when not.
PLUGTEST_CHILD_MODE(download_check_from)
{
    if (arguments.size() != 3)
        return 2;
    if (arguments[2] == L"harden")
        plug::HardenLibrarySearch();
    if (arguments[1] == L"cwd") {
        ::SetCurrentDirectoryW(arguments[0].c_str());
    } else {
        wchar_t path[4096] = {};
        ::GetEnvironmentVariableW(L"PATH", path, 4096);
        ::SetEnvironmentVariableW(L"PATH", (arguments[0] + L";" + path).c_str());
    }
    return plug::CallDownloadCheck(L"1.0.0.0").loaded ? 1 : 0;
}

// The program may be started from any folder (the device's CD, a download folder): a library
// lying in the current directory is not taken; one on PATH still is, as before.
TEST(LibrarySearch, TheCurrentDirectoryIsLeftOutAndTheRestOfTheSearchKept)
{
    struct Case {
        const wchar_t* where;
        const wchar_t* startUp;
        int loaded;
    };
    const Case cases[] = {
        {L"cwd", L"plain", 1}, // this host does search the current directory by default
        {L"cwd", L"harden", 0},
        {L"path", L"harden", 1},
    };
    std::wstring folder = plug::GetModuleDirectory() + L"download_check";
    for (const Case& c : cases) {
        SCOPED_TRACE(std::wstring(c.where) + L" " + c.startUp);
        ChildProcess child = ChildProcess::StartMode(L"download_check_from",
                                                     L"\"" + folder + L"\" " + c.where + L" " + c.startUp);
        EXPECT_EQ(c.loaded, child.Wait());
    }
}
