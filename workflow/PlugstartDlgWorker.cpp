// The main dialog's side of the auto-run worker: its start, the timers that watch it, cancel
// and exit, the final mode change, and the host services the worker asks of the window.
#include "PlugstartDlg.h"

#include "companion/CDWebInstallerDlg.h"

#include "framework/ProcessStart.h"
#include "framework/Trace.h"
#include "res/resource.h"

namespace {
const UINT_PTR kWorkerTimer = 1000;
const UINT_PTR kAnimationTimer = 5000;
const UINT_PTR kRunningNoticeTimer = 6000;
const int kCancelWaitSeconds = 62;
} // namespace

void CPlugstartDlg::AutoRunMainWork()
{
    ::EnableWindow(GetDlgItem(IDC_MAIN_OK), FALSE);
    m_run.m_bThreadEnd = FALSE;
    ::SetTimer(m_hWnd, kWorkerTimer, 100, nullptr);
    m_pAutoRunThread = AfxBeginThread(&CPlugstartDlg::AutoRunThread, this, THREAD_PRIORITY_NORMAL);
    if (!m_pAutoRunThread) // timer 1000 finds no worker running and ends the dialog
        Trace(L"[CPlugstartDlg::AutoRunMainWork()] the worker could not be started\r\n");
}

UINT CPlugstartDlg::AutoRunThread(LPVOID lpParam)
{
    CPlugstartDlg* dialog = static_cast<CPlugstartDlg*>(lpParam);
    dialog->Trace(L"Start : [CPlugstartDlg::AutoRunThread(LPVOID lpParam)]\r\n");
    try {
        dialog->AutoRun();
    } catch (...) {
        dialog->Trace(L"[CPlugstartDlg::AutoRunThread()] AutoRun ended with an exception\r\n");
    }
    dialog->Trace(L"End : [CPlugstartDlg::AutoRunThread(LPVOID lpParam)]\r\n");
    return 0; // the thread's end tells the dialog that the worker has finished
}

void CPlugstartDlg::OnTimer(UINT_PTR id)
{
    switch (id) {
    case kWorkerTimer:
        if (!IsWorkerRunning()) {
            ::KillTimer(m_hWnd, kWorkerTimer);
            EndDialog(0);
        }
        break;
    case kAnimationTimer:
        StepAnimation();
        break;
    case kRunningNoticeTimer:
        ::KillTimer(m_hWnd, kRunningNoticeTimer);
        SetActiveWnd(m_bShowRunningNotice);
        break;
    default:
        break;
    }
}

void CPlugstartDlg::OnCancel()
{
    if (m_run.m_bInstallingDrv || m_run.m_bInstallingITK) {
        // A setup program runs: it is never interrupted; the worker stops after it.
        m_run.m_bThreadEnd = TRUE;
        Trace(L"return [if(m_bInstallingDrv == TRUE || m_bInstallingITK == TRUE)]\r\n");
        return;
    }
    if (m_run.m_bInstallingSVC) {
        // Ending the deployment by force could leave a half-registered service: the worker
        // stops after it instead.
        m_run.m_bThreadEnd = TRUE;
        Trace(L"return [if(m_bInstallingSVC == TRUE)]\r\n");
        return;
    }
    m_run.m_bThreadEnd = TRUE;
    if (IsWorkerRunning()) {
        CWinThread& worker = *m_pAutoRunThread;
        plug::WaitForWorkerOrTerminate(
            worker, [&worker] { return worker.IsRunning() != FALSE; }, kCancelWaitSeconds, 1000);
    }
    CDialog::OnCancel();
}

void CPlugstartDlg::OnOK() { Trace(L"[CPlugstartDlg::OnOK()] ignored\r\n"); }

void CPlugstartDlg::OnExit()
{
    Trace(L"[CPlugstartDlg::OnExit()]\r\n");
    OnCancel();
}

void CPlugstartDlg::OnDestroy()
{
    CDialog::OnDestroy();
    // The device library's calls must not overlap: a worker that still runs ends first.
    StopWorkerAndWait();
    if (!m_bModeChangeOnExit || m_run.m_bModeChanged)
        return;
    // Every way out switches the device unless the worker did, or another instance will.
    m_core.ModeChangeOnExit();
}

void CPlugstartDlg::Trace(const std::wstring& text, bool startNew) { plug::Trace(text, startNew); }

void CPlugstartDlg::RepaintAll()
{
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CPlugstartDlg::RepaintStatus()
{
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, &m_rcStatus, TRUE);
}

plug::StartedProgram CPlugstartDlg::StartProgram(const std::wstring& program, const std::wstring& parameters,
                                                 int showCommand)
{
    return plug::StartedProgram::Start(program, parameters, showCommand);
}

plug::ProgramWait CPlugstartDlg::WaitForProgram(plug::StartedProgram& program, DWORD timeoutMs,
                                                DWORD descendantsTimeoutMs)
{
    return plug::WaitForProgramWork(program, timeoutMs, descendantsTimeoutMs);
}

void CPlugstartDlg::LaunchProgram(const std::wstring& program, const std::wstring& parameters)
{
    plug::LaunchProgram(program, parameters);
}

void CPlugstartDlg::PostEnableCancelButtons(BOOL enable)
{
    ::PostMessageW(m_hWnd, kEnableCancelButtonsMessage, enable, 0);
}

void CPlugstartDlg::PostBringToFront() { ::PostMessageW(m_hWnd, kBringToFrontMessage, 0, 0); }

void CPlugstartDlg::RunCompanionInstaller()
{
    CCDWebInstallerDlg guide; // modal on the worker's thread, without a parent
    guide.DoModal();
}
