// CPlugstartDlg: the program's main window. It holds the record of the run and the run's steps,
// is their host (trace, message-box owner, repaints, program starts) and keeps the names of those
// steps as one-line forwards. Its life: the system check, the exchange with an instance that
// already runs, the staging at a CD start, the worker that does the job, cancel and exit, and
// the final mode change when the window goes. What others touch is the start they hand it
// (SetStart), its modal run and whether its worker still runs.
#pragma once

#include "MainDialogLook.h"
#include "core/PlugstartRun.h"
#include "framework/Dialog.h"
#include "framework/Thread.h"
#include "run/RunHost.h"
#include "run/RunState.h"
#include "skin/DialogPaint.h"
#include "skin/SkinButton.h"

#include <memory>
#include <optional>
#include <string>

// The payload type of the same-device notice between two instances.
constexpr ULONG_PTR COPYDATA_ID_SAME_DEVICE = 0x465;

class CPlugstartDlg : public CDialog, private IRunHost {
public:
    explicit CPlugstartDlg(CWnd* parent = nullptr);
    ~CPlugstartDlg() override;

    // What the application object found at its start-up, and the window of an instance that
    // already runs (or nullptr); taken before the dialog runs.
    void SetStart(const StartFacts& facts, HWND otherInstance);
    // Whether the auto-run worker still runs.
    BOOL IsWorkerRunning() const { return m_pAutoRunThread && m_pAutoRunThread->IsRunning(); }

protected:
    RunState m_run;       // the record of this run
    CPlugstartRun m_core; // the run's steps over the record, with the dialog as host

    HWND m_hOtherAutoRun = nullptr;   // window of an instance that already runs (set before DoModal)
    BOOL m_bModeChangeOnExit = TRUE;  // OnDestroy switches the device if no mode change was sent
    BOOL m_bShowRunningNotice = TRUE; // the already-running notice is shown (timer 6000)
    BOOL m_bPainted = FALSE;          // the status painting is on (after InitControl)
    RECT m_rcStatus = plug::ToRect(plug::main_layout::kStatusBox); // the status box, repainted by the worker
    // The auto-run worker, owned by the dialog: empty until AutoRunMainWork starts it (and when
    // it could not be started). The worker has finished when its thread has ended.
    std::unique_ptr<CWinThread> m_pAutoRunThread;
    // Asks a worker that still runs to stop, and waits until it has ended.
    void StopWorkerAndWait();
    HICON m_hIcon = nullptr;

    // --- The run's steps ---
    BOOL CheckSystem() { return m_core.CheckSystem(); }
    BOOL AutoRun() { return m_core.AutoRun(); }
    BOOL InstallDriver() { return m_core.InstallDriver(); }
    BOOL InstallITK() { return m_core.InstallITK(); }
    BOOL RunITK(std::wstring strFile) { return m_core.RunITK(strFile); }
    int SCSI_ModeChange() { return m_core.SCSI_ModeChange(); }

    // --- Installation-state detection ---
    BOOL IsInstalledDriver(int nDrvType) { return m_core.Detect().IsInstalledDriver(nDrvType); }
    BOOL IsSuccessInstallingDriver(int nDrvType) { return m_core.Detect().IsSuccessInstallingDriver(nDrvType); }
    BOOL IsInstalledITK(int nITKType) { return m_core.Detect().IsInstalledITK(nITKType); }
    std::optional<std::wstring> CheckITKProgram(int nITKType) { return m_core.Detect().CheckITKProgram(nITKType); }
    BOOL IsRunPCSuiteApp() { return m_core.Detect().IsRunPCSuiteApp(); }
    BOOL IsRequireUpDrv(int nDrvType) { return m_core.Detect().IsRequireUpDrv(nDrvType); }
    BOOL IsRequireUpITK(int nITKType) { return m_core.Detect().IsRequireUpITK(nITKType); }
    BOOL IsNewVersion(const std::wstring& strOld, const std::wstring& strNew);
    std::wstring GetFileVersion(const std::wstring& strPath);
    BOOL TechFindProcess(LPCTSTR sProcessName);
    void SaveDriverTypeForITK() { m_core.Detect().SaveDriverTypeForITK(); }
    void SaveModemNamesForITK() { m_core.Detect().SaveModemNamesForITK(); }

    // --- The command service ---
    std::optional<ServiceAnswer> ServiceControl(DWORD dwControl) { return m_core.Service().ServiceControl(dwControl); }
    BOOL IsRequireUpdateSVC() { return m_core.Service().IsRequireUpdateSVC(); }
    BOOL InitService() { return m_core.Service().InitService(); }
    CServiceInstall& m_SVC;

    // --- Lifecycle (PlugstartDlg.cpp, PlugstartDlgWorker.cpp) ---
    BOOL IsSameResDefineCommand();
    void AutoRunMainWork();
    static UINT AutoRunThread(LPVOID lpParam);
    void SetActiveWnd(BOOL bShow);
    void OnExit();

    BOOL OnInitDialog() override;
    // The dialog has no OK action: an OK command (another process may post one) is ignored.
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy() override;
    void DoDataExchange() override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // Takes a message of the other instance (window: its sender). Always FALSE, which lets the
    // default handling answer the sender.
    BOOL OnCopyData(HWND window, const COPYDATASTRUCT* data);
    void OnTimer(UINT_PTR id);
    BOOL OnPaint();
    BOOL OnEraseBkgnd(HDC dc);

    // --- The look (PlugstartDlgLook.cpp) ---
    BOOL InitControl();
    void StepAnimation();

    // --- The host of the run's steps (PlugstartDlgWorker.cpp) ---
    void Trace(const std::wstring& text, bool startNew = false) override;
    HWND MessageOwner() override { return m_hWnd; }
    void RepaintAll() override;
    void RepaintStatus() override;
    plug::StartedProgram StartProgram(const std::wstring& program, const std::wstring& parameters,
                                      int showCommand) override;
    plug::ProgramWait WaitForProgram(plug::StartedProgram& program, DWORD timeoutMs,
                                     DWORD descendantsTimeoutMs) override;
    void LaunchProgram(const std::wstring& program, const std::wstring& parameters) override;
    void PostEnableCancelButtons(BOOL enable) override;
    void PostBringToFront() override;
    void RunCompanionInstaller() override;

    // Requests of the worker that the window's own thread carries out (the worker must never
    // wait for that thread, which may be waiting for the worker).
    static const UINT kEnableCancelButtonsMessage = WM_APP + 1; // wParam: enable
    static const UINT kBringToFrontMessage = WM_APP + 2;

    // The steps of OnInitDialog.
    void TraceStartBanner();
    // Asks the other instance for its profile; TRUE when it serves the same device and this
    // instance has handed over to it.
    BOOL HandOverToOtherInstance();
    // Stages the program to the PC at a CD start; FALSE when a staging took place (or failed)
    // and this instance ends.
    BOOL StageFromCd();
    void ChooseSteps();
    void RunSynchronously();
    void SendProfileTo(HWND requester);

    // The five skinned buttons: "OK" (3), "Cancel" (2), "X" (1005), 1003 and 1004.
    CSkinButton m_btnOK;
    CSkinButton m_btnCancel;
    CSkinButton m_btnExit;
    CSkinButton m_btn1003;
    CSkinButton m_btn1004;

    plug::MainDialogLook m_look; // fonts and pictures of the background, status and animation
    int m_nAniFrame = -1;        // -1 before the first frame
};
