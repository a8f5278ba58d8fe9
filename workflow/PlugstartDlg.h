// CPlugstartDlg: the program's main window. It runs the system check, coordinates with another
// instance, starts the auto-run worker and paints the status. Its members are grouped by the
// concern that owns them; each concern lives in its own source file.
#pragma once

#include "ResDefineCommand.h"
#include "framework/Dialog.h"
#include "framework/Thread.h"

#include <string>

class CPlugstartDlg : public CDialog {
public:
    explicit CPlugstartDlg(CWnd* parent = nullptr);
    ~CPlugstartDlg() override;

    // --- Profile and instance coordination ---
    ResDefineCommand m_ResDefineCommand;      // this device
    ResDefineCommand m_OtherResDefineCommand; // received from another running instance
    HWND m_hOtherAutoRun = nullptr;           // window of an instance that already runs

    // --- Worker and status flags (shared with the worker thread, word-sized, no locks) ---
    volatile BOOL m_bInstallingDrv = FALSE;
    volatile BOOL m_bInstallingITK = FALSE;
    volatile BOOL m_bInstallingSVC = FALSE;
    volatile BOOL m_bLaunchingITK = FALSE;
    volatile BOOL m_bAutoRunStarted = FALSE;
    RECT m_rcStatus = {0, 0, 0, 0};
    CWinThread* volatile m_pAutoRunThread = nullptr;
    volatile BOOL m_bThreadEnd = FALSE;

    // --- System check results ---
    BOOL m_bDeploySVC = FALSE;
    BOOL m_bFullInstall = TRUE;

    // --- Mode change and exit ---
    volatile BOOL m_bModeChanged = FALSE;
    BOOL m_bModeChangeOnExit = TRUE;
    BOOL m_bShowRunningNotice = TRUE;

    // --- Environment kept at start ---
    std::wstring m_strLangFile; // relative name of the language file
    int m_nWow64 = 0;           // IsWow64() at start; nonzero counts as 64-bit Windows

protected:
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* message) override;

    // Passes a trace text to the program's trace sink.
    void Trace(const std::wstring& text, bool startNew = false) const;
};
