// CInitDlg: the staging dialog of a start from the device's CD. When something has to be
// installed it copies the program, its tools, the files the configuration lists and the language
// file into a folder on the PC, starts that copy with "-l" and the CD's drive letter, and closes;
// the copy then does the installation. When nothing has to be installed it closes at once and
// the calling instance proceeds itself (m_bProceed).
#pragma once

#include "BusyAnimation.h"
#include "framework/Dialog.h"
#include "framework/Handle.h"
#include "framework/Thread.h"
#include "skin/SkinButton.h"

#include <atomic>
#include <memory>
#include <string>

class CInitDlg : public CDialog {
public:
    explicit CInitDlg(CWnd* parent);
    ~CInitDlg() override;

    // What the system check found: the staging is needed when the driver or the kit is missing
    // or to be updated, or the command service is to be deployed.
    struct InstallState {
        BOOL bInstalledDrv = FALSE;
        BOOL bRequireUpDrv = TRUE;
        BOOL bInstalledITK = FALSE;
        BOOL bRequireUpITK = TRUE;
        BOOL bDeploySVC = FALSE;
    };
    void SetInstallState(const InstallState& state);
    // The device profile's driver type, kit type and kit installer file name.
    void SetProfile(int nDriverType, int nITKType, const std::wstring& strITKSetupFinename);

    // Runs the dialog; with nothing to stage it ends at once (finished, proceeding, code 1)
    // without making a window that would never be seen.
    INT_PTR DoModal() override;

    // After the run: the dialog has ended; nothing was staged, so the caller goes on from the CD.
    BOOL Finished() const { return m_bFinished; }
    BOOL Proceed() const { return m_bProceed; }

protected:
    BOOL OnInitDialog() override;
    // The dialog ends only when the staging has: neither Enter nor Escape nor closing ends it.
    void OnOK() override {}
    void OnCancel() override {}
    void DoDataExchange() override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // Asked by the worker before each file.
    virtual BOOL IsCancelRequested() { return m_bCancel; }
    // Paints background, busy animation and texts into dc.
    void Paint(HDC dc) const;

    BOOL m_bFinished = FALSE;           // the dialog has ended
    BOOL m_bProceed = FALSE;            // nothing was staged: the caller goes on from the CD
    std::atomic<BOOL> m_bCancel{FALSE}; // set by Cancel; the worker stops before its next file
    int m_nFrame = 0;                   // the busy animation's frame, 0 to 7
    CSkinButton m_btnCancel;

private:
    // Sets m_bNeedDrv, m_bNeedITK and m_bNeedSVC from the inputs; true when none is set.
    bool DecideNothingToStage();
    void StartStaging();
    bool IsStagingRunning() const { return m_pStagingThread && m_pStagingThread->IsRunning(); }
    void OnAnimationTimer();
    static UINT StagingThread(LPVOID parameter);
    // The worker's part: stages and starts the copy, or tells why it could not.
    void RunStaging();
    // Its message boxes have no owner: the dialog stops being topmost first, so that they show above it.
    void DropTopmost();
    void ReportFailure(const std::wstring& key, const std::wstring& source = std::wstring());

    InstallState m_install; // the system check's results
    int m_nDriverType = 0;
    int m_nITKType = 2;
    std::wstring m_strITKSetupFinename;

    BOOL m_bNeedDrv = FALSE;
    BOOL m_bNeedITK = FALSE;
    BOOL m_bNeedSVC = FALSE;
    BOOL m_bAnimate = FALSE; // the staging runs: the dialog paints its background
    // The staging worker, owned by the dialog: the staging has finished when its thread has
    // ended (and when it could not be started, the pointer staying empty).
    std::unique_ptr<CWinThread> m_pStagingThread;
    plug::UniqueFont m_titleFont;
    plug::UniqueFont m_textFont;
    int m_nAnimWidth = 0;
    int m_nAnimHeight = 0;
    plug::UniqueBitmap m_background;
    plug::BusyAnimation m_animation;
    std::wstring m_strTitle;
    std::wstring m_strUnplug;
};
