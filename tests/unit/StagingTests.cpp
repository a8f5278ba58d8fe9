// The staging dialog under Wine: the program folder of this test stands for the device's CD
// (its config.ini lists the files), the user's Templates folder is pointed into a temporary
// folder, and "Plugstart.exe" beside the test is a stand-in that records how it was started.
#include "common/ChildProcess.h"
#include "common/HeldFile.h"
#include "common/MessageBoxRecorder.h"
#include "common/ScopedRegistry.h"
#include "common/TestFiles.h"
#include "config/ConfigFile.h"
#include "config/Language.h"
#include "config/ModulePath.h"
#include "framework/StringFormat.h"
#include "res/resource.h"
#include "workflow/InitDlg.h"
#include "run/ResDefineCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

using namespace plugtest;

namespace {

const wchar_t kUserShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// Points one of the user's shell folders elsewhere while it lives, then restores the value.
class ScopedShellFolder {
public:
    ScopedShellFolder(const wchar_t* name, const std::wstring& path)
    {
        m_registry.SetString(HKEY_CURRENT_USER, kUserShellFolders, name, path);
    }

private:
    ScopedRegistry m_registry;
};

std::wstring WithoutBackslash(std::wstring path)
{
    if (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

// Makes folder the process's current directory while it lives.
class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::wstring& folder)
    {
        wchar_t previous[MAX_PATH * 2] = {};
        ::GetCurrentDirectoryW(MAX_PATH * 2, previous);
        m_previous = previous;
        ::SetCurrentDirectoryW(folder.c_str());
    }
    ~ScopedCurrentDirectory() { ::SetCurrentDirectoryW(m_previous.c_str()); }
    ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
    ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

private:
    std::wstring m_previous;
};

// How a link in the staging's way is made: as a Unix symbolic link from the host (under Wine,
// which shows it as a reparse point), or with CreateSymbolicLinkW, as a user may on Windows.
enum class LinkKind { Host, Windows };

bool MakeHostLink(const std::wstring& link, const std::wstring& target)
{
    using UnixName = char*(__cdecl*)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (!unixName)
        return false; // not Wine: there is no host to make it
    char* unixLink = unixName(link.c_str());
    char* unixTarget = unixName(target.c_str());
    if (unixLink && unixTarget) {
        std::string arguments = std::string("-s \"") + unixTarget + "\" \"" + unixLink + "\"";
        // Wine runs a Unix program without a Windows process to wait for: MakeLink waits for the link.
        plugtest::ChildProcess::Start(L"Z:\\bin\\ln", std::wstring(arguments.begin(), arguments.end()));
    }
    ::HeapFree(::GetProcessHeap(), 0, unixLink);
    ::HeapFree(::GetProcessHeap(), 0, unixTarget);
    return true;
}

void MakeWindowsLink(const std::wstring& link, const std::wstring& target, bool folder)
{
    using MakeSymbolicLink = BOOLEAN(WINAPI*)(const wchar_t*, const wchar_t*, DWORD);
    auto makeLink = reinterpret_cast<MakeSymbolicLink>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "CreateSymbolicLinkW")));
    if (makeLink)
        makeLink(link.c_str(), target.c_str(), folder ? 1 : 0);
}

bool IsShownAsLink(const std::wstring& path)
{
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Makes link a symbolic link to target (a folder or a file). Empty when it is there as a link;
// else why this host could not make it.
std::string MakeLink(const std::wstring& link, const std::wstring& target, bool folder, LinkKind kind = LinkKind::Host)
{
    if (kind == LinkKind::Windows)
        MakeWindowsLink(link, target, folder);
    else if (!MakeHostLink(link, target))
        MakeWindowsLink(link, target, folder); // Windows itself (Vista and later, with the right to make links)
    for (int wait = 0;
         kind == LinkKind::Host && wait < 100 && ::GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES; ++wait)
        ::Sleep(50); // made by another program
    if (IsShownAsLink(link))
        return std::string();
    if (kind == LinkKind::Windows)
        return "CreateSymbolicLinkW made no link on this host (Wine 8 reports success and makes nothing)";
    return folder ? "this host cannot make a link to a folder"
                  : "this host does not show a link to a file as one "
                    "(Wine shows it as the file)";
}

// A folder of the user's with files of their own, one of them under a name the staging lists.
struct UsersFolder {
    TempDir folder;
    const std::vector<std::pair<std::wstring, std::string>> files = {
        {L"stage_one.txt", "the user's own, under a listed name"},
        {L"keep.dll", "not the staging's"},
        {L"tools\\stage_two.txt", "the user's own, in a folder named tools"},
        {L"letters\\letter.doc", "a letter"}};

    UsersFolder()
    {
        plugtest::CreateFolders(folder.Path() + L"tools");
        plugtest::CreateFolders(folder.Path() + L"letters");
        for (const auto& file : files)
            WriteBinaryFile(folder.File(file.first), file.second);
    }
    std::wstring Path() const { return WithoutBackslash(folder.Path()); }
    void ExpectUntouched() const
    {
        for (const auto& file : files)
            EXPECT_EQ(file.second, ReadBinaryFile(folder.File(file.first))) << file.first;
        std::vector<std::wstring> expected = {L"keep.dll",      L"letters\\", L"letters\\letter.doc",
                                              L"stage_one.txt", L"tools\\",   L"tools\\stage_two.txt"};
        EXPECT_EQ(expected, TreeEntries(folder.Path())) << "something was added or removed";
    }
};

const UINT kMarker = WM_APP + 11;

// The staging dialog with a hook on the worker's question before each file.
class TestInitDlg : public CInitDlg {
public:
    TestInitDlg() : CInitDlg(nullptr) {}

    using CInitDlg::m_bCancel;
    using CInitDlg::m_bFinished;
    using CInitDlg::m_bProceed;
    using CInitDlg::m_btnCancel;

    std::function<void(TestInitDlg&, int call)> beforeFile; // call counts from 1
    bool everShown = false;
    bool windowMade = false;
    bool topmostDuringStaging = false;
    bool topmostAtEnd = true;
    plug::UniqueHandle markerSeen{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};

    bool IsTopmost() const { return (::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }
    // Posts message to the dialog, then waits until the dialog has handled everything posted before.
    void PostAndWait(UINT message, WPARAM wParam, LPARAM lParam = 0)
    {
        ::PostMessageW(m_hWnd, message, wParam, lParam);
        ::ResetEvent(markerSeen.Get());
        ::PostMessageW(m_hWnd, kMarker, 0, 0);
        ::WaitForSingleObject(markerSeen.Get(), 10000);
    }

protected:
    BOOL IsCancelRequested() override
    {
        topmostDuringStaging = IsTopmost();
        if (beforeFile)
            beforeFile(*this, ++m_calls);
        return CInitDlg::IsCancelRequested();
    }
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (message == WM_SHOWWINDOW && wParam)
            everShown = true;
        if (message == WM_INITDIALOG)
            windowMade = true;
        if (message == WM_DESTROY)
            topmostAtEnd = IsTopmost();
        if (message == kMarker) {
            ::SetEvent(markerSeen.Get());
            return TRUE;
        }
        return CInitDlg::OnMessage(message, wParam, lParam, result);
    }

private:
    int m_calls = 0;
};

class Staging : public ::testing::Test {
protected:
    Staging()
    {
        ::CreateDirectoryW((ProgramFolder() + L"tools").c_str(), nullptr);
        WriteBinaryFile(m_one.Path(), "first file");
        WriteBinaryFile(m_two.Path(), "second file");
        WriteBinaryFile(m_language.Path(), "language file");
    }

    static std::wstring ProgramFolder() { return plug::GetModuleDirectory(); }
    static wchar_t DriveLetter() { return ProgramFolder()[0]; }
    // The staging folder in the temporary Templates folder.
    std::wstring Staged(const std::wstring& name = L"") const
    {
        return m_templates.Path() + std::wstring(1, DriveLetter()) + L"\\" + name;
    }

    void ListFiles(const std::vector<std::wstring>& names)
    {
        std::map<std::wstring, std::wstring> values;
        values[L"filecount"] = std::to_wstring(names.size());
        for (size_t i = 0; i < names.size(); ++i) {
            wchar_t key[16];
            swprintf(key, 16, L"file%02u", static_cast<unsigned>(i));
            values[key] = names[i];
        }
        WriteUtf16File(m_config.Path(), ProfileText(L"FILES", values));
    }

    // Runs the dialog as the main dialog does at a CD start that must install the driver.
    INT_PTR Run(TestInitDlg& dialog, int kitType = ITKTYPE_NorvoITK, const std::wstring& kitSetup = L"")
    {
        CInitDlg::InstallState driverToInstall; // the kit installed and current
        driverToInstall.bInstalledDrv = FALSE;
        driverToInstall.bRequireUpDrv = TRUE;
        driverToInstall.bInstalledITK = TRUE;
        driverToInstall.bRequireUpITK = FALSE;
        dialog.SetInstallState(driverToInstall);
        dialog.SetProfile(DRIVERTYPE_QCT, kitType, kitSetup);
        return dialog.DoModal();
    }

    // The one message box the worker showed, which must follow the message-box convention.
    std::wstring OnlyMessage()
    {
        std::vector<RecordedBox> boxes = m_boxes.Boxes();
        EXPECT_EQ(1u, boxes.size());
        if (boxes.empty())
            return std::wstring();
        EXPECT_EQ(nullptr, boxes[0].owner);
        EXPECT_EQ(L"Test Installer", boxes[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION | MB_OK), boxes[0].style);
        return boxes[0].text;
    }

    // A failed staging ends the dialog normally, drops the topmost state, starts nothing.
    void ExpectFailedStaging(TestInitDlg& dialog, INT_PTR code)
    {
        EXPECT_EQ(1, code);
        EXPECT_TRUE(dialog.m_bFinished);
        EXPECT_FALSE(dialog.m_bProceed);
        EXPECT_FALSE(dialog.topmostAtEnd);
        EXPECT_FALSE(PathExists(Staged(L"Plugstart.exe")));
    }

    // Plants a symbolic link at link (relative to the staging folder) to a folder or a file
    // elsewhere, then stages "stage_one.txt": the link goes (or, where the host cannot remove it,
    // the staging stops with failure 002 naming it) and what it points to stays as it was.
    void ExpectLinkRemovedWithoutFollowing(const wchar_t* link, bool folder)
    {
        TempDir elsewhere;
        WriteBinaryFile(elsewhere.File(L"keep.dll"), "not the staging's");
        plugtest::CreateFolders(Staged(L"tools"));
        std::string cannot = MakeLink(
            Staged(link), folder ? WithoutBackslash(elsewhere.Path()) : elsewhere.File(L"keep.dll"), folder);
        if (!cannot.empty())
            GTEST_SKIP() << cannot;
        ListFiles({L"stage_one.txt", L"Plugstart.exe"});
        TestInitDlg dialog;
        EXPECT_EQ(1, Run(dialog));
        ::Sleep(500); // let a started copy (a stand-in) end before its folder goes
        if (IsShownAsLink(Staged(link)))
            EXPECT_EQ(L"failed 002\n" + Staged(link), OnlyMessage()); // a link this host cannot remove
        else
            EXPECT_EQ(0u, m_boxes.Count()) << (m_boxes.Count() ? m_boxes.Boxes()[0].text : L"");
        EXPECT_EQ("not the staging's", ReadBinaryFile(elsewhere.File(L"keep.dll")));
    }

    // The staging folder itself (or its tools folder) is a link to a folder of the user's: the
    // staging never works through it. The link goes and a real folder takes its place, which
    // the staging fills; or, where the host cannot remove the link, the staging stops with
    // failure 002 naming it before anything is written.
    void ExpectLinkedStagingFolderNeverFollowed(const std::wstring& linked, LinkKind kind)
    {
        UsersFolder users;
        if (linked != Staged())
            plugtest::CreateFolders(Staged());
        std::string cannot = MakeLink(WithoutBackslash(linked), users.Path(), true, kind);
        if (!cannot.empty())
            GTEST_SKIP() << cannot;
        ListFiles({L"stage_one.txt", L"tools\\stage_two.txt", L"Plugstart.exe"});
        TestInitDlg dialog;
        EXPECT_EQ(1, Run(dialog));
        ::Sleep(500); // let a started copy (a stand-in) end before its folder goes
        users.ExpectUntouched();
        if (IsShownAsLink(WithoutBackslash(linked))) {
            EXPECT_EQ(L"failed 002\n" + WithoutBackslash(linked), OnlyMessage()); // a link this host cannot remove
            EXPECT_FALSE(dialog.m_bProceed);
        } else {
            EXPECT_EQ(0u, m_boxes.Count()) << (m_boxes.Count() ? m_boxes.Boxes()[0].text : L"");
            EXPECT_EQ("first file", ReadBinaryFile(Staged(L"stage_one.txt")));
            EXPECT_EQ("second file", ReadBinaryFile(Staged(L"tools\\stage_two.txt")));
        }
    }

    // The lines the started copy (the stand-in) wrote beside itself once it ran: its path, its
    // command line, its current directory. Empty when it did not run within 30 s.
    std::vector<std::string> RelaunchRecord() const
    {
        std::vector<std::string> lines;
        for (int wait = 0; wait < 300 && lines.size() < 3; ++wait) {
            ::Sleep(100);
            lines.clear();
            std::string record = ReadBinaryFile(Staged(L"relaunched.txt"));
            for (size_t start = 0, end; (end = record.find('\n', start)) != std::string::npos; start = end + 1)
                lines.push_back(record.substr(start, end - start));
        }
        return lines;
    }

    static std::map<std::wstring, std::wstring> Texts()
    {
        std::map<std::wstring, std::wstring> texts = StandardLanguage();
        texts[L"STR_STRING_APP_INIT_FAILED_000"] = L"failed 000";
        texts[L"STR_STRING_APP_INIT_FAILED_001"] = L"failed 001";
        texts[L"STR_STRING_APP_INIT_FAILED_002"] = L"failed 002";
        texts[L"STR_STRING_APP_INIT_FAILED_004"] = L"failed 004";
        texts[L"STR_STRING_APP_INIT_FAILED_005"] = L"failed 005";
        texts[L"STR_STRING_ERROR_CANNOT_FIND_CONFIG"] = L"no usable configuration";
        texts[L"STR_STRING_INITDLG_STRING"] = L"Preparing";
        texts[L"STR_STRING_DONOT_UNPLUG_USB"] = L"Do not unplug";
        return texts;
    }

    TempDir m_templates;
    ScopedShellFolder m_templatesFolder{L"Templates", WithoutBackslash(m_templates.Path())};
    ScopedLanguageFile m_texts{Texts()};
    MessageBoxRecorder m_boxes;
    ScopedFile m_config{ProgramFolder() + L"config.ini"};
    ScopedFile m_one{ProgramFolder() + L"stage_one.txt"};
    ScopedFile m_two{ProgramFolder() + L"tools\\stage_two.txt"};
    ScopedFile m_language{ProgramFolder() + plug::SelectLanguageFile()};
};

} // namespace

// The everyday re-plug of an installed device: no window is even made.
TEST_F(Staging, NothingToInstallEndsAtOnceWithoutShowingAndTheCallerProceeds)
{
    ListFiles({L"stage_one.txt", L"Plugstart.exe"});
    TestInitDlg dialog;
    CInitDlg::InstallState allInstalled;
    allInstalled.bInstalledDrv = TRUE;
    allInstalled.bRequireUpDrv = FALSE;
    allInstalled.bInstalledITK = TRUE;
    allInstalled.bRequireUpITK = FALSE;
    dialog.SetInstallState(allInstalled);
    dialog.SetProfile(DRIVERTYPE_QCT, ITKTYPE_NorvoITK, L"");
    EXPECT_EQ(1, dialog.DoModal());
    EXPECT_TRUE(dialog.m_bProceed);
    EXPECT_TRUE(dialog.m_bFinished);
    EXPECT_FALSE(dialog.everShown);
    EXPECT_FALSE(dialog.windowMade);
    EXPECT_FALSE(PathExists(Staged()));
    EXPECT_EQ(0u, m_boxes.Count());
}

TEST_F(Staging, CopiesTheListedFilesAndTheLanguageFileThenStartsTheCopyWithTheDriveLetter)
{
    // A read-only file that an earlier staging left is overwritten.
    plugtest::CreateFolders(Staged(L"tools"));
    WriteBinaryFile(Staged(L"stage_one.txt"), "left over");
    ::SetFileAttributesW(Staged(L"stage_one.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ListFiles({L"stage_one.txt", L"tools\\stage_two.txt", L"Plugstart.exe"});

    TestInitDlg dialog;
    EXPECT_EQ(1, Run(dialog));
    EXPECT_TRUE(dialog.everShown);
    EXPECT_TRUE(dialog.topmostDuringStaging);
    EXPECT_TRUE(dialog.m_bFinished);
    EXPECT_FALSE(dialog.m_bProceed);
    EXPECT_EQ(0u, m_boxes.Count());
    EXPECT_EQ("first file", ReadBinaryFile(Staged(L"stage_one.txt")));
    EXPECT_EQ("second file", ReadBinaryFile(Staged(L"tools\\stage_two.txt")));
    EXPECT_EQ("language file", ReadBinaryFile(Staged(plug::SelectLanguageFile())));

    std::vector<std::string> record = RelaunchRecord();
    ASSERT_EQ(3u, record.size());
    EXPECT_EQ(plug::EqualsNoCase(std::wstring(record[0].begin(), record[0].end()), Staged(L"Plugstart.exe")), true)
        << record[0];
    std::string expectedEnd = std::string(" -l ") + static_cast<char>(DriveLetter());
    ASSERT_GE(record[1].size(), expectedEnd.size()) << record[1];
    EXPECT_EQ(expectedEnd, record[1].substr(record[1].size() - expectedEnd.size())) << record[1];
    ::Sleep(500); // let the stand-in end before its folder goes
}

// The copy must not start in the CD's folder: the CD goes away at the mode change, and the kit's
// program, started later without a folder of its own, would be handed one that no longer exists.
TEST_F(Staging, TheCopyIsStartedInTheStagingFolderNotOnTheCd)
{
    ListFiles({L"stage_one.txt", L"Plugstart.exe"});
    ScopedCurrentDirectory onTheCd(ProgramFolder()); // where auto-run starts the program
    TestInitDlg dialog;
    EXPECT_EQ(1, Run(dialog));
    std::vector<std::string> record = RelaunchRecord();
    ASSERT_EQ(3u, record.size());
    EXPECT_EQ(plug::EqualsNoCase(std::wstring(record[2].begin(), record[2].end()), WithoutBackslash(Staged())), true)
        << "the copy started in " << record[2];
    ::Sleep(500); // let the stand-in end before its folder goes
}

// Windows file names ignore case: a list that spells the program otherwise still starts it.
TEST_F(Staging, TheListedProgramIsStartedWhateverTheCaseOfItsName)
{
    ListFiles({L"stage_one.txt", L"PLUGSTART.exe"});
    TestInitDlg dialog;
    EXPECT_EQ(1, Run(dialog));
    EXPECT_EQ(0u, m_boxes.Count()) << (m_boxes.Count() ? m_boxes.Boxes()[0].text : L"");
    std::vector<std::string> record = RelaunchRecord();
    ASSERT_EQ(3u, record.size()) << "the copy was not started";
    EXPECT_EQ(plug::EqualsNoCase(std::wstring(record[0].begin(), record[0].end()), Staged(L"Plugstart.exe")), true)
        << record[0];
    ::Sleep(500); // let the stand-in end before its folder goes
}

// Any program of the user can write to the staging folder, and the setups run from it: a library
// planted there would be loaded by an elevated setup. What the list does not name goes first.
TEST_F(Staging, LeftoversInTheStagingFolderAreRemovedBeforeTheCopy)
{
    plugtest::CreateFolders(Staged(L"tools"));
    plugtest::CreateFolders(Staged(L"sub\\deeper"));
    plugtest::CreateFolders(Staged(L"locked folder"));
    const wchar_t* planted[] = {L"version.dll", L"stage_one.txt.bak", L"tools\\setupapi.dll", L"sub\\deeper\\msi.dll",
                                L"locked folder\\readonly.dll"};
    for (const wchar_t* name : planted)
        WriteBinaryFile(Staged(name), "planted");
    WriteBinaryFile(Staged(L"stage_one.txt"), "left over");
    for (const wchar_t* name :
         {L"version.dll", L"sub\\deeper\\msi.dll", L"locked folder\\readonly.dll", L"stage_one.txt"})
        ::SetFileAttributesW(Staged(name).c_str(), FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesW(Staged(L"locked folder").c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
    ListFiles({L"stage_one.txt", L"tools\\stage_two.txt", L"Plugstart.exe"});

    TestInitDlg dialog;
    EXPECT_EQ(1, Run(dialog));
    EXPECT_EQ(0u, m_boxes.Count()) << (m_boxes.Count() ? m_boxes.Boxes()[0].text : L"");
    std::vector<std::wstring> expected = {L"stage_one.txt", L"tools\\", L"tools\\stage_two.txt",
                                          plug::SelectLanguageFile(), L"Plugstart.exe"};
    std::sort(expected.begin(), expected.end());
    ::Sleep(500); // let the started copy (a stand-in) end: it writes its record beside itself
    std::vector<std::wstring> staged = TreeEntries(Staged());
    staged.erase(std::remove(staged.begin(), staged.end(), std::wstring(L"relaunched.txt")), staged.end());
    EXPECT_EQ(expected, staged);
    EXPECT_EQ("first file", ReadBinaryFile(Staged(L"stage_one.txt")));
}

// A link in the staging folder goes, even under a listed name; what it points to stays untouched.
TEST_F(Staging, LinkToAFolderIsRemovedWithoutFollowingIt) { ExpectLinkRemovedWithoutFollowing(L"tools\\linked", true); }

TEST_F(Staging, LinkToAFileUnderAListedNameIsRemovedWithoutWritingThroughIt)
{
    ExpectLinkRemovedWithoutFollowing(L"stage_one.txt", false);
}

// A staging folder that is a link to a folder of the user's (left by another program, or made
// by a user tidying up): neither the cleanup nor the copies may reach into that folder.
TEST_F(Staging, StagingFolderThatIsAHostLinkIsNeverFollowed)
{
    ExpectLinkedStagingFolderNeverFollowed(Staged(), LinkKind::Host);
}

TEST_F(Staging, StagingFolderThatIsAWindowsLinkIsNeverFollowed)
{
    ExpectLinkedStagingFolderNeverFollowed(Staged(), LinkKind::Windows);
}

TEST_F(Staging, ToolsFolderThatIsALinkIsNeverFollowed)
{
    ExpectLinkedStagingFolderNeverFollowed(Staged(L"tools\\"), LinkKind::Host);
}

// The Templates folder is itself a link (to the user's home folder, say): the staging folder in
// it would be a folder of the user's. It is not the staging's to remove: the staging stops.
TEST_F(Staging, BaseFolderThatIsALinkIsFailure002WithItsPath)
{
    TempDir home;
    plugtest::CreateFolders(home.Path() + std::wstring(1, DriveLetter()));
    WriteBinaryFile(home.File(std::wstring(1, DriveLetter()) + L"\\keep.dll"), "the user's own");
    const std::wstring linkedTemplates = m_templates.File(L"linked");
    std::string cannot = MakeLink(linkedTemplates, WithoutBackslash(home.Path()), true);
    if (!cannot.empty())
        GTEST_SKIP() << cannot;
    ScopedShellFolder templates(L"Templates", linkedTemplates);
    ListFiles({L"stage_one.txt", L"Plugstart.exe"});
    TestInitDlg dialog;
    ExpectFailedStaging(dialog, Run(dialog));
    EXPECT_EQ(L"failed 002\n" + linkedTemplates, OnlyMessage());
    EXPECT_EQ((std::vector<std::wstring>{std::wstring(1, DriveLetter()) + L"\\",
                                         std::wstring(1, DriveLetter()) + L"\\keep.dll"}),
              TreeEntries(home.Path()));
    EXPECT_EQ("the user's own", ReadBinaryFile(home.File(std::wstring(1, DriveLetter()) + L"\\keep.dll")));
}

// A staged file whose name is a hard link to a file elsewhere (planted, or left by a tool): the
// copy replaces the name, and the file elsewhere keeps its data.
TEST_F(Staging, HardLinkedStagedFileIsReplacedAndTheFileElsewhereKeepsItsData)
{
    TempDir elsewhere;
    WriteBinaryFile(elsewhere.File(L"settings.ini"), "the user's settings");
    plugtest::CreateFolders(Staged(L"tools"));
    ASSERT_TRUE(::CreateHardLinkW(Staged(L"stage_one.txt").c_str(), elsewhere.File(L"settings.ini").c_str(), nullptr));
    ASSERT_TRUE(
        ::CreateHardLinkW(Staged(L"tools\\stage_two.txt").c_str(), elsewhere.File(L"settings.ini").c_str(), nullptr));
    ListFiles({L"stage_one.txt", L"tools\\stage_two.txt", L"Plugstart.exe"});
    TestInitDlg dialog;
    EXPECT_EQ(1, Run(dialog));
    ::Sleep(500); // let the started copy (a stand-in) end: it writes its record beside itself
    EXPECT_EQ(0u, m_boxes.Count()) << (m_boxes.Count() ? m_boxes.Boxes()[0].text : L"");
    EXPECT_EQ("the user's settings", ReadBinaryFile(elsewhere.File(L"settings.ini")));
    EXPECT_EQ("first file", ReadBinaryFile(Staged(L"stage_one.txt")));
    EXPECT_EQ("second file", ReadBinaryFile(Staged(L"tools\\stage_two.txt")));
    std::vector<std::wstring> staged = TreeEntries(Staged());
    std::vector<std::wstring> expected = {L"Plugstart.exe", L"relaunched.txt",       L"stage_one.txt",
                                          L"tools\\",       L"tools\\stage_two.txt", plug::SelectLanguageFile()};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, staged) << "a file the copies made beside the names was left";
}

TEST_F(Staging, LeftoverThatCannotBeRemovedIsFailure002WithItsPath)
{
    plugtest::CreateFolders(Staged(L"tools"));
    WriteBinaryFile(Staged(L"tools\\version.dll"), "planted");
    // Another program holds the planted file open and lets nobody delete it.
    HeldFile holder(Staged(L"tools\\version.dll"), GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(holder.IsHeld());
    ListFiles({L"stage_one.txt", L"Plugstart.exe"});
    TestInitDlg dialog;
    ExpectFailedStaging(dialog, Run(dialog));
    EXPECT_EQ(L"failed 002\n" + Staged(L"tools\\version.dll"), OnlyMessage());
    EXPECT_FALSE(PathExists(Staged(L"stage_one.txt"))) << "nothing is copied beside it";
}

TEST_F(Staging, PcSuiteInstallerStaysOnTheCd)
{
    ListFiles({L"stage_one.txt", L"tools\\stage_two.txt", L"Plugstart.exe"});
    TestInitDlg dialog;
    EXPECT_EQ(1, Run(dialog, TYPE_PCSYNC, L"STAGE_TWO.TXT"));
    EXPECT_EQ(0u, m_boxes.Count());
    EXPECT_TRUE(PathExists(Staged(L"stage_one.txt")));
    EXPECT_FALSE(PathExists(Staged(L"tools\\stage_two.txt")));
    ::Sleep(500); // let the started copy (a stand-in) end before its folder goes
}

TEST_F(Staging, CancelStopsBeforeTheNextFileKeepsWhatWasCopiedAndStartsNothing)
{
    ListFiles({L"stage_one.txt", L"tools\\stage_two.txt", L"Plugstart.exe"});
    TestInitDlg dialog;
    dialog.beforeFile = [](TestInitDlg& self, int call) {
        if (call == 2) // the user presses Cancel while the first file is copied
            ::SendMessageW(self.m_btnCancel.m_hWnd, BM_CLICK, 0, 0);
    };
    EXPECT_EQ(1, Run(dialog));
    EXPECT_TRUE(dialog.m_bCancel);
    EXPECT_TRUE(dialog.m_bFinished);
    EXPECT_FALSE(dialog.m_bProceed);
    EXPECT_EQ(0u, m_boxes.Count());
    EXPECT_TRUE(PathExists(Staged(L"stage_one.txt")));
    EXPECT_FALSE(PathExists(Staged(L"tools\\stage_two.txt")));
    EXPECT_FALSE(PathExists(Staged(L"Plugstart.exe")));
}

TEST_F(Staging, EnterEscapeAndClosingDoNotEndTheDialog)
{
    ListFiles({L"stage_one.txt", L"Plugstart.exe"});
    TestInitDlg dialog;
    dialog.beforeFile = [](TestInitDlg& self, int call) {
        if (call != 1)
            return;
        self.PostAndWait(WM_KEYDOWN, VK_ESCAPE);
        self.PostAndWait(WM_KEYDOWN, VK_RETURN);
        self.PostAndWait(WM_CLOSE, 0);
        self.PostAndWait(WM_SYSCOMMAND, SC_CLOSE);                  // Alt+F4
        self.PostAndWait(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)); // as another program may post it
    };
    EXPECT_EQ(1, Run(dialog)); // ended by its timer after the staging, not with IDOK or IDCANCEL
    EXPECT_FALSE(dialog.m_bCancel);
    EXPECT_TRUE(PathExists(Staged(L"stage_one.txt")));
    EXPECT_TRUE(PathExists(Staged(plug::SelectLanguageFile())));
    ::Sleep(500); // let the started copy (a stand-in) end before its folder goes
}

TEST_F(Staging, WithoutATemplatesFolderTheApplicationDataFolderServes)
{
    TempDir appData;
    ScopedShellFolder missingTemplates(L"Templates", m_templates.Path() + L"missing");
    ScopedShellFolder applicationData(L"AppData", WithoutBackslash(appData.Path()));
    ListFiles({L"stage_one.txt", L"Plugstart.exe"});
    TestInitDlg dialog;
    EXPECT_EQ(1, Run(dialog));
    EXPECT_EQ(0u, m_boxes.Count());
    EXPECT_TRUE(PathExists(appData.Path() + std::wstring(1, DriveLetter()) + L"\\stage_one.txt"));
    ::Sleep(500); // let the started copy (a stand-in) end before its folder goes
}

TEST_F(Staging, NoShellFolderAtAllIsFailure004)
{
    ScopedShellFolder missingTemplates(L"Templates", m_templates.Path() + L"missing");
    ScopedShellFolder missingAppData(L"AppData", m_templates.Path() + L"missing too");
    ListFiles({L"stage_one.txt", L"Plugstart.exe"});
    TestInitDlg dialog;
    ExpectFailedStaging(dialog, Run(dialog));
    EXPECT_EQ(L"failed 004", OnlyMessage());
}

TEST_F(Staging, StagingFolderThatCannotBeMadeIsFailure000)
{
    std::wstring notAFolder = m_templates.File(L"plain file");
    WriteBinaryFile(notAFolder, "x");
    ScopedShellFolder templates(L"Templates", notAFolder);
    ListFiles({L"stage_one.txt", L"Plugstart.exe"});
    TestInitDlg dialog;
    ExpectFailedStaging(dialog, Run(dialog));
    EXPECT_EQ(L"failed 000", OnlyMessage());
}

TEST_F(Staging, ToolsFolderThatCannotBeMadeIsFailure001)
{
    WriteBinaryFile(WithoutBackslash(Staged()), "a file where the staging folder belongs, found by the search");
    ListFiles({L"stage_one.txt", L"Plugstart.exe"});
    TestInitDlg dialog;
    ExpectFailedStaging(dialog, Run(dialog));
    EXPECT_EQ(L"failed 001", OnlyMessage());
}

TEST_F(Staging, FileThatCannotBeCopiedIsFailure002WithItsSource)
{
    ListFiles({L"stage_one.txt", L"no_such_file.txt", L"Plugstart.exe"});
    TestInitDlg dialog;
    ExpectFailedStaging(dialog, Run(dialog));
    EXPECT_EQ(L"failed 002\n" + ProgramFolder() + L"no_such_file.txt", OnlyMessage());
    EXPECT_TRUE(PathExists(Staged(L"stage_one.txt")));
}

TEST_F(Staging, ConfigurationThatListsNoProgramIsRefusedBeforeAnythingIsCopied)
{
    // An empty or unreadable config.ini (every value empty) and one that lists files but not the
    // program: the staging would copy and then start nothing, and the user would see nothing.
    const std::vector<std::wstring> lists[] = {{}, {L"stage_one.txt", L"tools\\stage_two.txt"}};
    for (const std::vector<std::wstring>& listed : lists) {
        SCOPED_TRACE(listed.size());
        m_boxes.Clear();
        plug::config_detail::ResetMissingConfigMessage(); // each case stands for a process of its own
        ListFiles(listed);
        TestInitDlg dialog;
        ExpectFailedStaging(dialog, Run(dialog));
        EXPECT_EQ(L"no usable configuration", OnlyMessage());
        EXPECT_FALSE(PathExists(Staged()));
    }
}

// One message per process: without any config.ini the system check has told the user already,
// and the refusal of the staging (which then lists no program) adds no second box.
TEST_F(Staging, WithoutAConfigurationFileTheUserIsToldOnce)
{
    ASSERT_FALSE(PathExists(m_config.Path()));
    plug::config_detail::ResetMissingConfigMessage();
    EXPECT_TRUE(plug::GetConfigValue(nullptr, L"ITK", L"itk_type").empty()); // the system check's first read
    ASSERT_EQ(1u, m_boxes.Count());
    TestInitDlg dialog;
    ExpectFailedStaging(dialog, Run(dialog));
    EXPECT_EQ(L"no usable configuration", OnlyMessage());
    EXPECT_FALSE(PathExists(Staged()));
}

TEST_F(Staging, NamesReachingOutsideTheStagingFolderAreCopyFailuresAndWriteNothingThere)
{
    // Files that such names would reach: they must stay untouched.
    WriteBinaryFile(m_templates.File(L"outside.txt"), "keep");
    ::SetFileAttributesW(m_templates.File(L"outside.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    std::wstring absolute = m_templates.File(L"absolute.txt");
    const std::wstring hostileNames[] = {L"..\\outside.txt", L"tools\\..\\..\\outside.txt", absolute};
    for (const std::wstring& hostile : hostileNames) {
        SCOPED_TRACE(hostile);
        m_boxes.Clear();
        ListFiles({L"stage_one.txt", hostile, L"Plugstart.exe"});
        TestInitDlg dialog;
        ExpectFailedStaging(dialog, Run(dialog));
        EXPECT_EQ(L"failed 002\n" + ProgramFolder() + hostile, OnlyMessage());
    }
    EXPECT_EQ("keep", ReadBinaryFile(m_templates.File(L"outside.txt")));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY),
              ::GetFileAttributesW(m_templates.File(L"outside.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(PathExists(absolute));
}

TEST_F(Staging, StagedFileThatAScannerHoldsOpenIsStagedAllTheSame)
{
    plugtest::CreateFolders(Staged(L"tools"));
    WriteBinaryFile(Staged(L"stage_one.txt"), "left over");
    // A virus scanner in another process reads the file and lets others read, write and delete it.
    HeldFile scanner(Staged(L"stage_one.txt"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    ASSERT_TRUE(scanner.IsHeld());
    ListFiles({L"stage_one.txt", L"tools\\stage_two.txt", L"Plugstart.exe"});
    TestInitDlg dialog;
    EXPECT_EQ(1, Run(dialog));
    EXPECT_EQ(0u, m_boxes.Count()) << (m_boxes.Count() ? m_boxes.Boxes()[0].text : L"");
    EXPECT_EQ("first file", ReadBinaryFile(Staged(L"stage_one.txt")));
    EXPECT_TRUE(PathExists(Staged(L"tools\\stage_two.txt")));
    ::Sleep(500); // let the started copy (a stand-in) end before its folder goes
}

TEST_F(Staging, CopiedFileThatCannotBeOpenedIsFailure005WithItsSource)
{
    ListFiles({L"stage_one.txt", L"Plugstart.exe"});
    TestInitDlg dialog;
    plug::UniqueFile holder;
    dialog.beforeFile = [this, &holder](TestInitDlg&, int call) {
        if (call != 1)
            return;
        // Another program holds the target open and lets others write it but not read it: the
        // copy goes through, but the program cannot open the file afterwards.
        holder.Attach(::CreateFileW(Staged(L"stage_one.txt").c_str(), GENERIC_READ,
                                    FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    };
    INT_PTR code = Run(dialog);
    ASSERT_TRUE(holder.IsValid());
    ExpectFailedStaging(dialog, code);
    EXPECT_EQ(L"failed 005\n" + ProgramFolder() + L"stage_one.txt", OnlyMessage());
}
