// The main dialog's look: its skinned buttons, the animation, the minimised icon and
// the background with the status text.
#include "PlugstartDlg.h"

#include "config/Language.h"
#include "core/WorkerMessages.h"
#include "res/resource.h"

BOOL CPlugstartDlg::InitControl()
{
    if (!m_look.Create())
        return FALSE;
    plug::SetUpMainCancelButton(m_btnCancel);

    m_btnExit.ShowWindow(SW_HIDE);
    m_btnExit.LoadSkin(IDB_CLOSE_STRIP, 0, 4);
    m_btnExit.MoveTo(plug::main_layout::kCloseButton.x, plug::main_layout::kCloseButton.y);

    m_btn1003.ShowWindow(SW_HIDE);
    m_btn1004.ShowWindow(SW_HIDE);
    return TRUE;
}

void CPlugstartDlg::StepAnimation()
{
    RECT area = m_look.NextAnimationArea(&m_nAniFrame);
    ::InvalidateRect(m_hWnd, &area, TRUE);
}

BOOL CPlugstartDlg::OnPaint()
{
    if (!::IsIconic(m_hWnd))
        return FALSE;
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    int x = (client.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
    return TRUE;
}

BOOL CPlugstartDlg::OnEraseBkgnd(HDC dc)
{
    if (!m_bPainted)
        return FALSE;
    plug::StatusState state;
    state.autoRunStarted = m_run.m_bAutoRunStarted != FALSE;
    state.installingSVC = m_run.m_bInstallingSVC != FALSE;
    state.installingDrv = m_run.m_bInstallingDrv != FALSE;
    state.installingITK = m_run.m_bInstallingITK != FALSE;
    state.launchingITK = m_run.m_bLaunchingITK != FALSE;
    state.kitType = m_run.m_ResDefineCommand.nITKType;
    state.japaneseLanguage = plug::IsJapaneseLanguageFile(m_run.m_strLangFile);
    m_look.Paint(dc, state, m_nAniFrame, &m_rcStatus);
    return TRUE;
}
