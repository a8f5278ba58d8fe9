#include "InitDlg.h"

#include "MainDialogLayout.h"
#include "MainDialogLook.h"
#include "StagingCopy.h"
#include "StatusText.h"
#include "config/ConfigFile.h"
#include "config/Language.h"
#include "config/Messages.h"
#include "config/ModulePath.h"
#include "framework/ProcessStart.h"
#include "framework/StringFormat.h"
#include "res/resource.h"
#include "skin/DialogPaint.h"

namespace {

const UINT_PTR kAnimationTimer = 100;
const UINT kAnimationPeriodMs = 150;

// Starts the copy on the PC, when the list named the program. This process leaves the CD first
// (the copy would stand in the CD's folder too): the CD goes away at the copy's mode change, and
// the programs the copy starts after it would be handed a folder that no longer exists.
void StartStagedCopy(const plug::StagingFolders& folders, const plug::StagingPlan& plan)
{
    if (plan.relaunchProgram.empty())
        return;
    ::SetCurrentDirectoryW(folders.destinationDirectory.c_str());
    plug::LaunchProgram(plan.relaunchProgram, plan.relaunchParameters);
}

} // namespace

CInitDlg::CInitDlg(CWnd* parent) : CDialog(IDD_INIT_DIALOG, parent) { KeepKeys(kKeepEnterAndEscape); }

CInitDlg::~CInitDlg()
{
    if (m_pStagingThread) { // only when the dialog ended some other way than by its timer
        m_bCancel = TRUE;
        m_pStagingThread->Join();
    }
}

void CInitDlg::SetInstallState(const InstallState& state) { m_install = state; }

void CInitDlg::SetProfile(int nDriverType, int nITKType, const std::wstring& strITKSetupFinename)
{
    m_nDriverType = nDriverType;
    m_nITKType = nITKType;
    m_strITKSetupFinename = strITKSetupFinename;
}

void CInitDlg::DoDataExchange() { DDX_Control(IDC_INIT_CANCEL, m_btnCancel); }

bool CInitDlg::DecideNothingToStage()
{
    m_bNeedDrv = m_install.bInstalledDrv != 1 || m_install.bRequireUpDrv == 1;
    m_bNeedITK = m_install.bInstalledITK != 1 || m_install.bRequireUpITK == 1;
    m_bNeedSVC = m_install.bDeploySVC;
    return !m_bNeedDrv && !m_bNeedITK && !m_bNeedSVC;
}

INT_PTR CInitDlg::DoModal()
{
    // The everyday re-plug of an installed device: a window made only to be ended unseen costs
    // the CD start a tenth of its time. The caller proceeds itself.
    if (DecideNothingToStage()) {
        m_bProceed = TRUE;
        m_bFinished = TRUE;
        return 1;
    }
    return CDialog::DoModal();
}

// Called only with something to stage: DoModal ends at once otherwise.
BOOL CInitDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_background = plug::LoadBitmapResource(IDB_MAIN_BACKGROUND);
    plug::SizeToBitmapAndCentre(m_hWnd, m_background.Get());

    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    m_titleFont = plug::CreateDialogFont(18, FW_BOLD);
    m_textFont = plug::CreateDialogFont(12, FW_NORMAL);
    m_strTitle = plug::GetLanguageString(L"STR_STRING_INITDLG_STRING");
    m_strUnplug = plug::GetLanguageString(L"STR_STRING_DONOT_UNPLUG_USB");

    m_btnCancel.ShowWindow(SW_SHOW);
    plug::SetUpDialogButton(m_btnCancel, IDB_BUTTON_STRIP, plug::GetLanguageString(L"STR_STRING_BTN_CANCEL"));
    m_btnCancel.SetTransparentStyle();
    m_btnCancel.MoveTo(plug::staging_layout::kCancelButton.x, plug::staging_layout::kCancelButton.y);

    m_animation.Load();
    SIZE animation = plug::BitmapSize(plug::LoadBitmapResource(IDB_ANIM_SIZE).Get());
    m_nAnimWidth = animation.cx;
    m_nAnimHeight = animation.cy;
    m_nFrame = 0;
    m_bAnimate = TRUE;
    ::SetTimer(m_hWnd, kAnimationTimer, kAnimationPeriodMs, nullptr);
    StartStaging();
    return TRUE;
}

void CInitDlg::StartStaging()
{
    // Without a worker the dialog ends at the next tick with nothing staged.
    m_pStagingThread = AfxBeginThread(&CInitDlg::StagingThread, this, THREAD_PRIORITY_NORMAL);
}

BOOL CInitDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_TIMER:
        if (wParam != kAnimationTimer)
            return FALSE;
        OnAnimationTimer();
        result = 0;
        return TRUE;
    case WM_ERASEBKGND:
        if (!m_bAnimate)
            return FALSE;
        Paint(reinterpret_cast<HDC>(wParam));
        result = TRUE;
        return TRUE;
    case WM_CLOSE:
        result = 0; // the title bar's close and Alt+F4 do nothing
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_INIT_CANCEL && HIWORD(wParam) == BN_CLICKED) {
            m_bCancel = TRUE;
            result = 0;
            return TRUE;
        }
        break;
    default:
        break;
    }
    return CDialog::OnMessage(message, wParam, lParam, result);
}

void CInitDlg::OnAnimationTimer()
{
    m_nFrame = plug::NextAnimationFrame(m_nFrame);
    const plug::LayoutPoint origin = plug::staging_layout::kAnimation;
    RECT area = {origin.x, origin.y, origin.x + m_nAnimWidth, origin.y + m_nAnimHeight};
    ::InvalidateRect(m_hWnd, &area, TRUE);
    if (IsStagingRunning())
        return;
    ::KillTimer(m_hWnd, kAnimationTimer);
    m_pStagingThread.reset();
    m_bFinished = TRUE;
    EndDialog(1);
}

void CInitDlg::Paint(HDC dc) const
{
    plug::DrawBitmap(dc, m_background.Get(), 0, 0);
    const plug::LayoutPoint origin = plug::staging_layout::kAnimation;
    m_animation.Draw(dc, origin.x, origin.y, m_nFrame, m_nAnimWidth, m_nAnimHeight);
    ::SetBkMode(dc, TRANSPARENT);
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    {
        plug::SelectObjectScope font(dc, m_titleFont.Get());
        ::SetTextColor(dc, plug::kLightTextColour);
        const plug::LayoutPoint title = plug::staging_layout::kTitle;
        plug::DrawTextInBox(dc, m_strTitle, RECT{title.x, title.y, client.right, client.bottom}, DT_SINGLELINE);
    }
    plug::DrawUnplugNotice(dc, m_textFont.Get(), m_strUnplug);
}

UINT CInitDlg::StagingThread(LPVOID parameter)
{
    CInitDlg* dialog = static_cast<CInitDlg*>(parameter);
    dialog->RunStaging();
    return 0; // the thread's end tells the dialog that the staging has finished
}

void CInitDlg::RunStaging()
{
    std::wstring base = plug::StagingBaseFolder();
    if (base.empty())
        return ReportFailure(L"STR_STRING_APP_INIT_FAILED_004");
    plug::StagingFolders folders = plug::MakeStagingFolders(plug::GetModuleDirectory(), base);
    plug::StagingList list = plug::ReadStagingList(
        [](const wchar_t* section, const std::wstring& key) { return plug::GetConfigValue(nullptr, section, key); },
        plug::GetModuleDirectory(), m_nITKType, m_strITKSetupFinename, plug::SelectLanguageFile());
    plug::StagingPlan plan = plug::MakeStagingPlan(folders, list);
    if (plug::StartsNothing(plan)) { // the user would be left with nothing and no word of it
        DropTopmost();
        // Without any config.ini the system check has told the user so already.
        return plug::ReportMissingConfiguration(nullptr);
    }
    bool foldersNew = false;
    plug::StagingOutcome outcome = plug::PrepareStagingFolders(folders, &foldersNew);
    if (outcome.result == plug::StagingResult::Done)
        outcome = plug::StageListedFiles(
            folders, plan, [this] { return IsCancelRequested() != FALSE; }, foldersNew);
    switch (outcome.result) {
    case plug::StagingResult::Done:
        return StartStagedCopy(folders, plan);
    case plug::StagingResult::DestinationFailed:
        return ReportFailure(L"STR_STRING_APP_INIT_FAILED_000");
    case plug::StagingResult::ToolsFailed:
        return ReportFailure(L"STR_STRING_APP_INIT_FAILED_001");
    case plug::StagingResult::CopyFailed:
        return ReportFailure(L"STR_STRING_APP_INIT_FAILED_002", outcome.failedSource);
    case plug::StagingResult::OpenFailed:
        return ReportFailure(L"STR_STRING_APP_INIT_FAILED_005", outcome.failedSource);
    default: // cancelled: silently, leaving what was copied
        return;
    }
}

void CInitDlg::DropTopmost()
{
    ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void CInitDlg::ReportFailure(const std::wstring& key, const std::wstring& source)
{
    DropTopmost();
    std::wstring text = plug::GetLanguageString(key);
    if (!source.empty())
        text = plug::FormatString(L"%ls\n%ls", text.c_str(), source.c_str());
    plug::ShowTitledMessage(nullptr, text, MB_ICONEXCLAMATION | MB_OK);
}
