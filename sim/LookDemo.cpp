// Shows the program's dialogs, painted by the program's own code: one at a time for screenshots
// (scripts/look-screens.sh), each ending by itself after a few seconds; or, for the language
// sheet (scripts/run.sh --languages), every dialog of one language file in turn, each repainted,
// measured and captured as soon as it is on the screen (LanguageSheet.h). Test and demo builds.
//   LookDemo.exe status initial|driver|kit|launching [--capture PREFIX]
//   LookDemo.exe staging [initial --capture PREFIX]
//   LookDemo.exe guide [initial --capture PREFIX]
//   LookDemo.exe sheet FOLDER LANGUAGE_FILE KIT_TYPE
// With --capture the dialog, once on the screen, photographs itself (its client area read back,
// WindowCapture.h) eight times, PREFIX-0.bmp to PREFIX-7.bmp: picture k with animation frame k
// and every button fixed on frame k % 4 (normal, hover, pressed, disabled); then it ends
// (tests/look).
#include "DownloadCheckFiles.h"
#include "LanguageSheet.h"
#include "WindowCapture.h"
#include "companion/CDWebInstallerDlg.h"
#include "config/Language.h"
#include "config/ModulePath.h"
#include "core/WorkerMessages.h"
#include "framework/Handle.h"
#include "framework/MessageBoxSeam.h"
#include "res/resource.h"
#include "run/ResDefineCommand.h"
#include "skin/SkinButton.h"
#include "workflow/InitDlg.h"
#include "workflow/MainDialogLook.h"

#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

namespace {

const UINT_PTR kEndTimer = 1;
const UINT_PTR kCaptureTimer = 2;
const UINT_PTR kAnimationTimer = 5000;
const UINT kShowMs = 6000;
// The longest a dialog waits to be taken for the sheet before it ends all the same.
const UINT kSheetWaitMs = 30000;
const UINT kTakeForSheet = WM_APP + 1;

// The sheet being made, or none when the dialogs are shown for screenshots.
sim::LanguageSheet* g_sheet = nullptr;

const UINT kSettleMs = 500; // on the screen and painted before the first picture of --capture
const int kCapturedFrames = 8;
std::wstring g_capturePrefix; // --capture: where the pictures go (empty: none)

// The eight pictures of --capture: showFrame(k) puts the dialog in picture k's state; the buttons
// are fixed on frame k % 4. False when a picture could not be written.
bool CapturePictures(HWND window, const std::vector<CSkinButton*>& buttons, const std::function<void(int)>& showFrame)
{
    for (int k = 0; k < kCapturedFrames; ++k) {
        showFrame(k);
        for (CSkinButton* button : buttons)
            button->SetFixedState(k % 4, k % 4);
        ::RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        if (!sim::CaptureClientArea(window, g_capturePrefix + L"-" + std::to_wstring(k) + L".bmp"))
            return false;
    }
    return true;
}

// True when message is the --capture timer (stopped here: it fires once).
bool IsCaptureTime(HWND window, UINT message, WPARAM wParam)
{
    if (message != WM_TIMER || wParam != kCaptureTimer)
        return false;
    ::KillTimer(window, kCaptureTimer);
    return true;
}

// What a demo dialog is, for the sheet: its state's name, the dialog and the state in words.
struct DemoView {
    std::wstring name;
    std::wstring dialog;
    std::wstring state;
};

// How a demo dialog's show ends: after kShowMs, or once it has been taken for the sheet (the
// dialog is on the screen when the message posted at its initialisation arrives).
class DemoEnding {
public:
    explicit DemoEnding(const DemoView& view) : m_view(view) {}

    void Start(HWND window) const
    {
        if (g_sheet)
            ::PostMessageW(window, kTakeForSheet, 0, 0);
        else if (!g_capturePrefix.empty())
            ::SetTimer(window, kCaptureTimer, kSettleMs, nullptr);
        else
            ::SetTimer(window, kEndTimer, kShowMs, nullptr);
    }
    // True when message ends the show.
    bool Ends(HWND window, UINT message, WPARAM wParam) const
    {
        if (message == WM_TIMER && wParam == kEndTimer)
            return true;
        if (message != kTakeForSheet || !g_sheet)
            return false;
        g_sheet->TakeDialog(window, m_view.name, m_view.dialog, m_view.state);
        return true;
    }

private:
    DemoView m_view;
};

// The main dialog's template painted the way the main dialog paints it, in one fixed state.
class StatusDemo : public CDialog {
public:
    StatusDemo(const plug::StatusState& inputs, const DemoView& view)
        : CDialog(IDD_PLUGSTART_DIALOG), m_inputs(inputs), m_ending(view)
    {
    }

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (!m_look.Create()) {
            EndDialog(2);
            return TRUE;
        }
        plug::DressMainWindow(m_hWnd);
        m_cancel.SubclassDlgItem(IDCANCEL, this);
        plug::SetUpMainCancelButton(m_cancel);
        if (!g_sheet && g_capturePrefix.empty()) // the sheet shows the first frame; a capture each
            ::SetTimer(m_hWnd, kAnimationTimer, 100, nullptr);
        m_ending.Start(m_hWnd);
        return TRUE;
    }
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (message == WM_ERASEBKGND) {
            RECT status = {};
            m_look.Paint(reinterpret_cast<HDC>(wParam), m_inputs, m_frame, &status);
            result = TRUE;
            return TRUE;
        }
        if (message == WM_TIMER && wParam == kAnimationTimer) {
            RECT area = m_look.NextAnimationArea(&m_frame);
            ::InvalidateRect(m_hWnd, &area, TRUE);
            return TRUE;
        }
        if (IsCaptureTime(m_hWnd, message, wParam)) {
            EndDialog(CapturePictures(m_hWnd, {&m_cancel}, [this](int k) { m_frame = k; }) ? 0 : 3);
            return TRUE;
        }
        if (m_ending.Ends(m_hWnd, message, wParam)) {
            EndDialog(0);
            return TRUE;
        }
        return CDialog::OnMessage(message, wParam, lParam, result);
    }

private:
    plug::StatusState m_inputs;
    plug::MainDialogLook m_look;
    CSkinButton m_cancel;
    int m_frame = -1;
    DemoEnding m_ending;
};

// The staging dialog, held at its first file until it has been shown, then cancelled: nothing
// is copied.
class StagingDemo : public CInitDlg {
public:
    StagingDemo() : CInitDlg(nullptr), m_ending(DemoView{L"staging", L"staging", L"copying to the PC"}) {}

protected:
    BOOL OnInitDialog() override
    {
        CInitDlg::OnInitDialog();
        if (g_sheet || !g_capturePrefix.empty())
            m_ending.Start(m_hWnd);
        return TRUE;
    }
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (IsCaptureTime(m_hWnd, message, wParam)) {
            m_captured = CapturePictures(m_hWnd, {&m_btnCancel}, [this](int k) { m_nFrame = k; });
            ::SetEvent(m_shown.Get()); // the staging is cancelled; the dialog ends on its own
            return TRUE;
        }
        if (message == kTakeForSheet && m_ending.Ends(m_hWnd, message, wParam)) {
            ::SetEvent(m_shown.Get()); // the staging is cancelled; the dialog ends on its own
            return TRUE;
        }
        return CInitDlg::OnMessage(message, wParam, lParam, result);
    }
    BOOL IsCancelRequested() override
    {
        ::WaitForSingleObject(m_shown.Get(), g_sheet || !g_capturePrefix.empty() ? kSheetWaitMs : kShowMs);
        return TRUE;
    }

public:
    bool m_captured = true; // --capture: every picture was written

private:
    DemoEnding m_ending;
    plug::UniqueHandle m_shown{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// The guide, closed after a while.
class GuideDemo : public CCDWebInstallerDlg {
public:
    explicit GuideDemo(const DemoView& view) : m_ending(view) {}

protected:
    BOOL OnInitDialog() override
    {
        CCDWebInstallerDlg::OnInitDialog();
        m_ending.Start(m_hWnd);
        return TRUE;
    }
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (IsCaptureTime(m_hWnd, message, wParam)) {
            std::vector<CSkinButton*> shown;
            for (CSkinButton* button : {&m_btnDownload, &m_btnClose, &m_btnOK}) {
                if (button->m_hWnd && ::IsWindowVisible(button->m_hWnd))
                    shown.push_back(button);
            }
            EndDialog(CapturePictures(m_hWnd, shown, [](int) {}) ? 0 : 3);
            return TRUE;
        }
        if (m_ending.Ends(m_hWnd, message, wParam)) {
            EndDialog(0);
            return TRUE;
        }
        return CCDWebInstallerDlg::OnMessage(message, wParam, lParam, result);
    }

private:
    DemoEnding m_ending;
};

plug::StatusState DemoState(const std::wstring& name, int kitType, const std::wstring& languageFile)
{
    plug::StatusState state;
    state.kitType = kitType;
    state.japaneseLanguage = plug::IsJapaneseLanguageFile(languageFile);
    state.autoRunStarted = name != L"initial";
    state.installingDrv = name == L"driver";
    state.installingITK = name == L"kit";
    state.launchingITK = name == L"launching";
    return state;
}

int ShowStatus(const std::wstring& state, int kitType, const std::wstring& languageFile, const DemoView& view)
{
    StatusDemo demo(DemoState(state, kitType, languageFile), view);
    return static_cast<int>(demo.DoModal());
}

int ShowStaging()
{
    StagingDemo demo;
    CInitDlg::InstallState driverToInstall; // the kit installed and current
    driverToInstall.bInstalledITK = TRUE;
    driverToInstall.bRequireUpITK = FALSE;
    demo.SetInstallState(driverToInstall);
    demo.SetProfile(DRIVERTYPE_QCT, ITKTYPE_NorvoITK, L"");
    demo.DoModal();
    return demo.m_captured ? 0 : 3;
}

int ShowGuide(const DemoView& view)
{
    GuideDemo demo(view);
    return static_cast<int>(demo.DoModal());
}

// What the stand-in download-check library answers the guide: the server, or a failure.
void ScriptDownloadCheck(bool available)
{
    ::CreateDirectoryW(sim::kStateFolder, nullptr);
    const wchar_t* profile = sim::kDownloadCheckProfile.c_str();
    ::WritePrivateProfileStringW(sim::kDownloadSection, sim::kKeyResult, available ? L"1" : L"0", profile);
    ::WritePrivateProfileStringW(sim::kDownloadSection, sim::kKeyResultText,
                                 available ? L"MSG_SUCCESS" : L"MSG_SERVER_CONN_ERROR", profile);
    ::WritePrivateProfileStringW(sim::kDownloadSection, L"candidate1", L"http://dl.example.com", profile);
}

// Held while a dialog that uses what the whole PC shares is shown: the staging makes its folders
// on the PC, and the stand-in download check answers from one file. Sheets of two languages may
// be made at once, and one must not meet the other's folders half made or its answer.
class PcWideTurn {
public:
    PcWideTurn() : m_lock(::CreateMutexW(nullptr, FALSE, L"Local\\PlugstartSheetPcWideTurn"))
    {
        m_held = m_lock && ::WaitForSingleObject(m_lock.Get(), kSheetWaitMs) != WAIT_TIMEOUT;
    }
    ~PcWideTurn()
    {
        if (m_held)
            ::ReleaseMutex(m_lock.Get());
    }
    PcWideTurn(const PcWideTurn&) = delete;
    PcWideTurn& operator=(const PcWideTurn&) = delete;

private:
    plug::UniqueHandle m_lock;
    bool m_held = false;
};

// The guide, its download check answered as available says.
void ShowGuideWithAnswer(bool available, const DemoView& view)
{
    PcWideTurn turn;
    ScriptDownloadCheck(available);
    ShowGuide(view);
}

// A message box while the sheet is made (none is expected): noted in the sheet, answered OK.
int NoteMessageBox(HWND, const std::wstring& text, const std::wstring& caption, UINT)
{
    if (g_sheet)
        g_sheet->AddProblem(L"a message box came up: \"" + caption + L"\": " + text);
    return IDOK;
}

// Every dialog of languageFile into the sheet in folder; 0 when each was taken and written.
int MakeSheet(const std::wstring& folder, const std::wstring& languageFile, int kitType)
{
    sim::LanguageSheet sheet(folder, languageFile, kitType);
    g_sheet = &sheet;
    plug::SetMessageBoxHandler(&NoteMessageBox);
    ShowStatus(L"driver", kitType, languageFile, DemoView{L"main-driver", L"main", L"driver setup"});
    ShowStatus(L"kit", kitType, languageFile, DemoView{L"main-kit", L"main", L"kit setup"});
    {
        PcWideTurn turn;
        ShowStaging();
    }
    ShowGuideWithAnswer(true, DemoView{L"guide", L"guide", L"download offered"});
    ShowGuideWithAnswer(false, DemoView{L"guide-no-download", L"guide", L"no download"});
    g_sheet = nullptr;
    return sheet.Write() ? 0 : 1;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> words(arguments, arguments + count);
    ::LocalFree(arguments);
    words.resize(5);
    const std::wstring& mode = words[1];

    if (mode == L"sheet") {
        if (words[2].empty() || words[3].empty())
            return 2;
        plug::SetLanguageFile(plug::GetModuleDirectory() + words[3]);
        return MakeSheet(words[2], words[3], _wtoi(words[4].c_str()));
    }
    if (words[3] == L"--capture")
        g_capturePrefix = words[4];
    const std::wstring languageFile = plug::SelectLanguageFile();
    plug::SetLanguageFile(plug::GetModuleDirectory() + languageFile);
    if (mode == L"status")
        return ShowStatus(words[2].empty() ? L"initial" : words[2], ITKTYPE_NorvoITK, languageFile, DemoView{});
    if (mode == L"staging")
        return ShowStaging();
    if (mode == L"guide")
        return ShowGuide(DemoView{});
    return 2;
}
