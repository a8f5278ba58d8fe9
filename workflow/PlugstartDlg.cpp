#include "PlugstartDlg.h"

#include "InitDlg.h"

#include "config/Language.h"
#include "config/Messages.h"
#include "core/PhoneData.h"
#include "version/FileVersion.h"
#include "version/VersionText.h"
#include "framework/SleepSeam.h"
#include "framework/StringFormat.h"
#include "framework/Trace.h"
#include "res/resource.h"
#include "process/ProcessLookup.h"

namespace {

// How long one instance waits for the other to take a WM_COPYDATA message: a hung instance must
// not hang this one.
const UINT kCopyDataTimeoutMs = 30000;

// flags: SMTO_ABORTIFHUNG gives up at once on an instance that Windows counts as hung.
LRESULT SendCopyData(HWND to, HWND from, ULONG_PTR id, DWORD size, const void* data, UINT flags = SMTO_ABORTIFHUNG)
{
    COPYDATASTRUCT message = {id, size, const_cast<void*>(data)};
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(to, WM_COPYDATA, reinterpret_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&message), flags,
                          kCopyDataTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

// What OnCopyData hands back to OnMessage: "not handled", so that the dialog's default handling
// gives the sender its answer, as it does for every WM_COPYDATA this dialog takes.
const BOOL kLetDefaultHandlingAnswer = FALSE;

std::wstring ProfileTrace(const wchar_t* heading, const ResDefineCommand& profile)
{
    return plug::FormatString(L"%lsResDefCmd.dwSCSIWaitTime = %ld\nResDefCmd.nDriverType = %d\nResDefCmd.nITKType = "
                              L"%d\nResDefCmd.strDrvSetupFilename = %ls\nResDefCmd.strITKSetupFinename = "
                              L"%ls\nResDefCmd.strITKFilename = %ls\n"
                              L"---------------------------------------------------\n",
                              heading, static_cast<long>(profile.dwSCSIWaitTime), profile.nDriverType, profile.nITKType,
                              profile.strDrvSetupFilename.c_str(), profile.strITKSetupFinename.c_str(),
                              profile.strITKFilename.c_str());
}

} // namespace

CPlugstartDlg::CPlugstartDlg(CWnd* parent)
    : CDialog(IDD_PLUGSTART_DIALOG, parent), m_core(m_run, *this), m_SVC(m_core.ServiceInstaller())
{
    m_hIcon = static_cast<HICON>(
        ::LoadImageW(ResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    // Most starts end in OnInitDialog unseen (nothing to install, staging, another instance):
    // the buttons are made only when the window is going to show.
    DeferControls();
    // Enter, Escape and Space (with Alt or without) never close the dialog nor press its buttons.
    KeepKeys(kKeepEnterAndEscape | kKeepSpace | kKeepWithAlt);
    DragByBody();
}

CPlugstartDlg::~CPlugstartDlg()
{
    // The worker uses this object until its very end: the object outlives it on every path.
    StopWorkerAndWait();
}

void CPlugstartDlg::SetStart(const StartFacts& facts, HWND otherInstance)
{
    static_cast<StartFacts&>(m_run) = facts;
    m_hOtherAutoRun = otherInstance;
}

void CPlugstartDlg::StopWorkerAndWait()
{
    // The worker has ended, unless the modal loop was left some other way than the dialog's own
    // (a quit message that another program posted): then it is asked to stop and waited for.
    if (!IsWorkerRunning())
        return;
    m_run.m_bThreadEnd = TRUE;
    Trace(L"[CPlugstartDlg] waiting for the worker to stop\r\n");
    m_pAutoRunThread->JoinHandlingSentMessages();
}

BOOL CPlugstartDlg::IsNewVersion(const std::wstring& strOld, const std::wstring& strNew)
{
    return plug::IsNewerVersion(strOld, strNew) ? TRUE : FALSE;
}

std::wstring CPlugstartDlg::GetFileVersion(const std::wstring& strPath) { return plug::GetFileVersionText(strPath); }

BOOL CPlugstartDlg::TechFindProcess(LPCTSTR sProcessName) { return plug::TechFindProcess(sProcessName); }

void CPlugstartDlg::DoDataExchange()
{
    DDX_Control(IDC_MAIN_OK, m_btnOK);
    DDX_Control(IDCANCEL, m_btnCancel);
    DDX_Control(IDC_MAIN_EXIT, m_btnExit);
    DDX_Control(IDC_MAIN_1003, m_btn1003);
    DDX_Control(IDC_MAIN_1004, m_btn1004);
}

BOOL CPlugstartDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    TraceStartBanner();
    plug::TraceMoment(L"main dialog created");
    m_run.m_strLangFile = plug::SelectLanguageFile();
    // The small icon first: a big icon given to a window without a small one has Windows make a
    // small copy of it (about 2 ms under Wine), only to be replaced by the small icon at once.
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));

    if (!CheckSystem()) {
        EndDialog(0);
        return FALSE;
    }
    if (m_hOtherAutoRun && HandOverToOtherInstance()) {
        EndDialog(0);
        return FALSE;
    }
    if (m_run.m_ResDefineCommand.nITKType != TYPE_CM_DCM && m_run.m_strArgument.empty() && !StageFromCd()) {
        m_bModeChangeOnExit = FALSE; // the PC copy, or nobody, switches the device
        EndDialog(0);
        return FALSE;
    }
    const ResDefineCommand& profile = m_run.m_ResDefineCommand;
    if (profile.bRequireUpDrv == 0 && profile.bRequireUpITK == 0 && profile.bInstalledDrv == 1 &&
        profile.bInstalledITK == 1) {
        RunSynchronously(); // nothing to install: the window never shows
        plug::TraceMoment(L"auto-run done, main dialog ending");
        EndDialog(1);
        return TRUE;
    }
    ChooseSteps();

    if (!CreateControls()) {
        EndDialog(0);
        return FALSE;
    }
    plug::DressMainWindow(m_hWnd);
    if (!InitControl()) {
        EndDialog(0);
        return FALSE;
    }
    m_bPainted = TRUE;
    m_nAniFrame = -1;
    ::SetTimer(m_hWnd, 5000, 100, nullptr);
    if (m_run.m_ResDefineCommand.nITKType == TYPE_CM_DCM) {
        // The connection manager's device is set up without a visible window.
        ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_HIDEWINDOW);
        StayHidden();
    }
    AutoRunMainWork();
    return TRUE;
}

void CPlugstartDlg::TraceStartBanner()
{
    if (!m_run.m_strArgument.empty())
        Trace(L"================[CPlugstartDlg::OnInitDialog() PC START]==============\r\n");
    else if (m_run.m_bStartNewTrace)
        Trace(L"================[CPlugstartDlg::OnInitDialog() CD START]========================\r\n", true);
}

BOOL CPlugstartDlg::HandOverToOtherInstance()
{
    // The other instance answers with a WM_COPYDATA of its own, taken by OnCopyData meanwhile.
    SendCopyData(m_hOtherAutoRun, m_hWnd, 0, 0, nullptr);
    if (!IsSameResDefineCommand())
        return FALSE;

    DWORD notice = 0;
    const int kitType = m_run.m_ResDefineCommand.nITKType;
    if (kitType == TYPE_CM_DCM) {
        notice = 0; // this instance still switches its device when it ends
    } else if (kitType == m_run.m_OtherResDefineCommand.nITKType) {
        m_bModeChangeOnExit = kitType == TYPE_PCSYNC ? TRUE : FALSE;
    } else {
        notice = 1;
        m_bModeChangeOnExit = FALSE;
    }
    ::SetForegroundWindow(m_hOtherAutoRun);
    SendCopyData(m_hOtherAutoRun, m_hWnd, COPYDATA_ID_SAME_DEVICE, notice, nullptr);
    return TRUE;
}

BOOL CPlugstartDlg::IsSameResDefineCommand()
{
    if (plug::IsSameDeviceProfile(m_run.m_ResDefineCommand, m_run.m_OtherResDefineCommand))
        return TRUE;
    Trace(ProfileTrace(L"", m_run.m_OtherResDefineCommand));
    return FALSE;
}

void CPlugstartDlg::ChooseSteps()
{
    ResDefineCommand& profile = m_run.m_ResDefineCommand;
    if (profile.bInstalledDrv == 1 && profile.bRequireUpDrv == 0)
        profile.bInstallDrv = FALSE;
    if (profile.bInstalledITK == 1 && profile.bRequireUpITK == 0)
        profile.bInstallITK = FALSE;
}

void CPlugstartDlg::RunSynchronously()
{
    m_run.m_ResDefineCommand.bInstallDrv = FALSE;
    m_run.m_ResDefineCommand.bInstallITK = FALSE;
    try {
        AutoRun();
    } catch (...) {
        Trace(L"[CPlugstartDlg::OnInitDialog()] AutoRun ended with an exception\r\n");
    }
}

BOOL CPlugstartDlg::StageFromCd()
{
    const ResDefineCommand& profile = m_run.m_ResDefineCommand;
    plug::TraceMoment(L"staging dialog");
    CInitDlg staging(nullptr);
    CInitDlg::InstallState state;
    state.bInstalledDrv = profile.bInstalledDrv;
    state.bRequireUpDrv = profile.bRequireUpDrv;
    state.bInstalledITK = profile.bInstalledITK;
    state.bRequireUpITK = profile.bRequireUpITK;
    state.bDeploySVC = m_run.m_bDeploySVC;
    staging.SetInstallState(state);
    staging.SetProfile(profile.nDriverType, profile.nITKType, profile.strITKSetupFinename);
    if (staging.DoModal() == -1) {
        // Its window could not be made: no worker started, and nothing will end it. The user is
        // told that the installation could not be prepared on this computer, and this instance ends.
        Trace(L"[CPlugstartDlg::StageFromCd()] the staging dialog could not be made\r\n");
        plug::ShowLanguageMessage(nullptr, L"STR_STRING_APP_INIT_FAILED_000", MB_ICONEXCLAMATION | MB_OK);
        return FALSE;
    }
    // The staging dialog ends when its worker has; it is given about a minute more to say so.
    for (int polls = 0; !staging.Finished(); ++polls) {
        if (polls == 6000) {
            Trace(L"[nCnt > 6000] break; \r\n");
            break;
        }
        plug::PlugSleep(10);
    }
    return staging.Proceed();
}

BOOL CPlugstartDlg::OnCopyData(HWND window, const COPYDATASTRUCT* data)
{
    if (!data)
        return kLetDefaultHandlingAnswer;
    if (!data->lpData && data->dwData == COPYDATA_ID_SAME_DEVICE) {
        m_bShowRunningNotice = data->cbData == 1 ? TRUE : FALSE;
        ::SetTimer(m_hWnd, 6000, 100, nullptr);
    } else if (!data->lpData) {
        SendProfileTo(window);
    } else if (plug::DecodePhoneData(data->lpData, data->cbData, &m_run.m_OtherResDefineCommand)) {
        Trace(ProfileTrace(L"RECEIVE Other phone data-----------\n", m_run.m_OtherResDefineCommand));
    } else {
        // Not a profile: a reply of another size is never read.
        Trace(plug::FormatString(L"[CPlugstartDlg::OnCopyData()] ignored a payload of %lu bytes\r\n",
                                 static_cast<unsigned long>(data->cbData)));
    }
    return kLetDefaultHandlingAnswer;
}

void CPlugstartDlg::SendProfileTo(HWND requester)
{
    if (!::IsWindow(requester))
        return;
    std::vector<uint8_t> payload = plug::EncodePhoneData(m_run.m_ResDefineCommand);
    Trace(ProfileTrace(L"SEND this phone data-----------\n", m_run.m_ResDefineCommand));
    // The requester waits for this answer, but Windows counts it as hung when its start kept it
    // from its messages for five seconds and it has not begun to wait yet: the answer is not given
    // up on for that (the time-out still bounds it).
    SendCopyData(requester, nullptr, 0, static_cast<DWORD>(payload.size()), payload.data(), SMTO_NORMAL);
}

BOOL CPlugstartDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(m_hIcon);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_MAIN_EXIT && HIWORD(wParam) == BN_CLICKED) {
            OnExit();
            return TRUE;
        }
        break;
    case WM_ERASEBKGND:
        if (OnEraseBkgnd(reinterpret_cast<HDC>(wParam))) {
            result = TRUE;
            return TRUE;
        }
        return FALSE;
    case WM_TIMER:
        OnTimer(wParam);
        return FALSE;
    case WM_COPYDATA:
        return OnCopyData(reinterpret_cast<HWND>(wParam), reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case kEnableCancelButtonsMessage:
        ::EnableWindow(GetDlgItem(IDCANCEL), static_cast<BOOL>(wParam));
        ::EnableWindow(GetDlgItem(IDC_MAIN_EXIT), static_cast<BOOL>(wParam));
        return TRUE;
    case kBringToFrontMessage:
        ::SetForegroundWindow(m_hWnd);
        return TRUE;
    default:
        break;
    }
    return CDialog::OnMessage(message, wParam, lParam, result);
}

void CPlugstartDlg::SetActiveWnd(BOOL bShow)
{
    if (bShow == 1)
        plug::ShowTitledMessage(m_hWnd,
                                L"Norvo Installer is running.\nExit the program and connect the mobile phone again.",
                                MB_ICONEXCLAMATION | MB_OK);
}
