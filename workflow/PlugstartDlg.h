// CPlugstartDlg: the program's main window. It runs the system check, coordinates with another
// instance, starts the auto-run worker and paints the status. Its members are grouped by the
// concern that owns them; each concern lives in its own source file.
#pragma once

#include "ResDefineCommand.h"
#include "framework/Dialog.h"
#include "service/PipeProtocol.h"
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

    // --- Device access: service pipe (service/ServiceControl.cpp), mode change (workflow/ModeChange.cpp) ---
    PhoneSetReply m_PhoneSetReply = {-1000, {0, 0, 0}, 0}; // last reply of the service's phone-setting query
    int m_nResultGetPhoneSet = 0;                           // its result field
    int m_nResultModeChange = 0;                            // the service's mode-change result
    // Asks the command service (USER_SERVICE_CONTROL_*). FALSE on Vista and later, when the pipe
    // does not open or the request cannot be written; TRUE once the request is written.
    BOOL ServiceControl(DWORD dwControl);
    // Switches the device, and every other CD-ROM drive with "Plugstart.exe" at its root, to modem
    // mode. Returns the own drive's SCSI result code.
    int SCSI_ModeChange();

protected:
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* message) override;

    // Passes a trace text to the program's trace sink.
    void Trace(const std::wstring& text, bool startNew = false) const;

    // --- Device access (workflow/ModeChange.cpp) ---
    // Sends the mode change to every CD-ROM drive but the own one that has "Plugstart.exe" at its root.
    void ModeChangeOtherDevices(wchar_t ownLetter);
};
