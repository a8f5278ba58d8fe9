// CPlugstartDlg: the program's main window. It holds the record of the run, is the host of the
// run's steps (trace, message-box owner, repaints, program starts) and keeps the names of those
// steps as one-line forwards, so that each step is reached from the dialog as well.
#pragma once

#include "core/PlugstartRun.h"
#include "framework/Dialog.h"
#include "framework/Thread.h"
#include "run/RunHost.h"
#include "run/RunState.h"

#include <string>
#include <vector>

class CPlugstartDlg : public CDialog, public RunState, private IRunHost {
protected:
    CPlugstartRun m_core; // the run's steps over this dialog's record, with the dialog as host

public:
    explicit CPlugstartDlg(CWnd* parent = nullptr);
    ~CPlugstartDlg() override;

    HWND m_hOtherAutoRun = nullptr; // window of an instance that already runs
    BOOL m_bModeChangeOnExit = TRUE;
    BOOL m_bShowRunningNotice = TRUE;
    RECT m_rcStatus = {0, 0, 0, 0};

    // --- Installation-state detection ---
    BOOL IsInstalledDriver(int nDrvType) { return m_core.Detect().IsInstalledDriver(nDrvType); }
    BOOL IsSuccessInstallingDriver(int nDrvType) { return m_core.Detect().IsSuccessInstallingDriver(nDrvType); }
    BOOL IsInstalledITK(int nITKType) { return m_core.Detect().IsInstalledITK(nITKType); }
    BOOL IsRunPCSuiteApp() { return m_core.Detect().IsRunPCSuiteApp(); }
    BOOL IsRequireUpDrv(int nDrvType) { return m_core.Detect().IsRequireUpDrv(nDrvType); }
    BOOL IsRequireUpITK(int nITKType) { return m_core.Detect().IsRequireUpITK(nITKType); }
    BOOL IsNewVersion(const std::wstring& strOld, const std::wstring& strNew);
    std::wstring GetFileVersion(const std::wstring& strPath);
    BOOL TechFindProcess(LPCTSTR sProcessName);
    void SaveDriverTypeForITK() { m_core.Detect().SaveDriverTypeForITK(); }
    void SaveModemNamesForITK() { m_core.Detect().SaveModemNamesForITK(); }

    // --- Device access and the command service ---
    BOOL ServiceControl(DWORD dwControl) { return m_core.Service().ServiceControl(dwControl); }
    int SCSI_ModeChange() { return m_core.SCSI_ModeChange(); }
    BOOL IsRequireUpdateSVC() { return m_core.Service().IsRequireUpdateSVC(); }
    BOOL InitService() { return m_core.Service().InitService(); }
    CServiceInstall& m_SVC;

protected:
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* message) override;

    // --- The host of the run's steps ---
    void Trace(const std::wstring& text, bool startNew = false) override;
    HWND MessageOwner() override { return m_hWnd; }
    void RepaintAll() override;
    void RepaintStatus() override;
    plug::UniqueHandle StartProgram(const std::wstring& program, const std::wstring& parameters,
                                    int showCommand) override;
    BOOL WaitForProgram(HANDLE process, DWORD timeoutMs) override;
};
