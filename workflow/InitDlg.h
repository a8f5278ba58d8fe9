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

    // The system check's results: driver installed, driver update required, kit installed, kit
    // update required, service deployment required.
    void SetInstallState(BOOL bInstalledDrv, BOOL bRequireUpDrv, BOOL bInstalledITK, BOOL bRequireUpITK,
                         BOOL bDeploySVC);
    // The device profile's driver type, kit type and kit installer file name.
    void SetProfile(int nDriverType, int nITKType, const std::wstring& strITKSetupFinename);

    // Runs the dialog; with nothing to stage it ends at once (m_bProceed and m_bFinished set,
    // code 1) without making a window that would never be seen.
    INT_PTR DoModal() override;

    BOOL m_bAnimate = FALSE; // the staging runs: the dialog paints its background
    BOOL m_bNeedDrv = FALSE;
    BOOL m_bNeedITK = FALSE;
    BOOL m_bNeedSVC = FALSE;
    // The staging worker, owned by the dialog: the staging has finished when its thread has
    // ended (and when it could not be started, the pointer staying empty).
    std::unique_ptr<CWinThread> m_pStagingThread;
    BOOL m_bFinished = FALSE; // the dialog has ended
    plug::UniqueFont m_pTitleFont;
    plug::UniqueFont m_pTextFont;
    BOOL m_bProceed = FALSE; // nothing was staged: the caller goes on from the CD
    int m_nFrame = 0;
    int m_nAnimWidth = 0;
    int m_nAnimHeight = 0;
    std::atomic<BOOL> m_bCancel{FALSE}; // set by Cancel; the worker stops before its next file
    BOOL m_bInstalledDrv = FALSE;
    BOOL m_bRequireUpDrv = TRUE;
    BOOL m_bInstalledITK = FALSE;
    BOOL m_bRequireUpITK = TRUE;
    int m_nDriverType = 0;
    int m_nITKType = 2;
    std::wstring m_strITKSetupFinename;
    BOOL m_bDeploySVC = FALSE;
    CSkinButton m_btnCancel;

protected:
    BOOL OnInitDialog() override;
    // The dialog ends only when the staging has: neither Enter nor Escape nor closing ends it.
    void OnOK() override {}
    void OnCancel() override {}
    BOOL PreTranslateMessage(MSG* message) override;
    void DoDataExchange() override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // Asked by the worker before each file.
    virtual BOOL IsCancelRequested() { return m_bCancel; }
    // Paints background, busy animation and texts into dc.
    void Paint(HDC dc) const;

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

    plug::UniqueBitmap m_background;
    plug::BusyAnimation m_animation;
    std::wstring m_strTitle;
    std::wstring m_strUnplug;
};
