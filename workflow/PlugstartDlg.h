// CPlugstartDlg: the program's main window. It runs the system check, coordinates with another
// instance, starts the auto-run worker and paints the status. Its members are grouped by the
// concern that owns them; each concern lives in its own source file.
#pragma once

#include "ResDefineCommand.h"
#include "framework/Dialog.h"
#include "framework/Thread.h"
#include "service/PipeProtocol.h"
#include "service/ServiceInstall.h"

#include <string>
#include <vector>

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

    // --- Installation-state detection (detect/) ---
    // Whether the driver of a family is registered and present (detect/DriverChecks.cpp).
    // A driver type outside the known families answers TRUE.
    BOOL IsInstalledDriver(int nDrvType);
    BOOL IsSuccessInstallingDriver(int nDrvType);
    BOOL IsRegisteredDriverQCT();
    BOOL IsRegisteredDriverEMP();
    BOOL IsDriverFileQCT();
    BOOL IsDriverFileEMP();
    // TRUE when a numbered subkey "0000", "0001", ... of the class key (dense numbering: the scan
    // ends at the first missing number) has the string value equal to one of names, ignoring case.
    BOOL FindClassDriverDesc(int nRoot, std::wstring strClassKey, std::wstring strValueName,
                             std::vector<std::wstring> names);
    // Whether the kit of a type is installed; TRUE in driver-only mode (detect/KitChecks.cpp).
    BOOL IsInstalledITK(int nITKType);
    // Whether a PC suite application of the maker runs (detect/PCSuiteCheck.cpp).
    BOOL IsRunPCSuiteApp();
    BOOL TechFindProcess(LPCTSTR sProcessName);
    // Whether the shipped driver or kit is newer than the installed one; TRUE when the installed
    // version cannot be found out (detect/UpdateChecks.cpp).
    BOOL IsRequireUpDrv(int nDrvType);
    BOOL IsRequireUpITK(int nITKType);
    BOOL IsNewVersion(const std::wstring& strOldVersion, const std::wstring& strNewVersion);
    // The file version of a file: its fixed version block as "a.b.c.d", else its filtered
    // "FileVersion" string, else empty (detect/FileVersion.cpp).
    std::wstring GetFileVersion(const std::wstring& strPath);
    // Set by IsRequireUpDrv(DRIVERTYPE_QCT): a "Drivers" edition package of the QCT driver is
    // registered; read by the driver installation.
    BOOL m_bDrvPackageRegistered = FALSE;
    // Values for the Internet Kit to read at its start (detect/ItkHandOff.cpp).
    void SaveDriverTypeForITK();
    void SaveModemNamesForITK();

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

    // --- Command service deployment (service/ServiceDeploy.cpp), before Vista only ---
    CServiceInstall m_SVC; // installer and probe of the command service
    // TRUE when the system folder's service executable is missing or older than the one in "tools".
    BOOL IsRequireUpdateSVC();
    // Removes the previous service, copies the configured service files into the system folder
    // and installs the service. FALSE when a listed file is not in the system folder afterwards.
    BOOL InitService();

protected:
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* message) override;

    // Passes a trace text to the program's trace sink.
    void Trace(const std::wstring& text, bool startNew = false) const;

    // --- Installation-state detection, the steps of the checks above (detect/) ---
    const wchar_t* QctPackageFolderFormat();
    BOOL IsQctPackageInstalled();
    BOOL IsEmpPackageInstalled();
    BOOL IsK21cPackageInstalled();
    BOOL InstalledDriverFallback(int nDrvType);
    BOOL IsKitRegistered(const wchar_t* productCode, const wchar_t* strNativeMissingTrace,
                         const wchar_t* strWowMissingTrace);
    BOOL IsNorvoKitFilePresent();
    // The kit whose install path strValueName of the user's key strKey (under "SOFTWARE\") holds:
    // the key exists, the path is not empty and names an existing file, or a folder holding
    // *pFileInFolder when that is given.
    BOOL IsKitAtUserPath(const wchar_t* strKitLabel, const wchar_t* strKey, const wchar_t* strValueName,
                         const std::wstring* pFileInFolder);
    BOOL IsRequireUpQctDriver(const std::wstring& strShippedVersion);
    BOOL IsRequireUpEmpDriver(const std::wstring& strShippedVersion);
    BOOL IsRequireUpK21cDriver(const std::wstring& strShippedVersion);
    BOOL IsRequireUpVtpKit(const std::wstring& strShippedVersion);
    BOOL IsRequireUpNorvoKit(const std::wstring& strShippedVersion);
    BOOL IsRequireUpConnectionManager(const std::wstring& strShippedVersion);
    // TRUE when strFile is missing or older than strShippedVersion.
    BOOL IsShippedNewerThanFile(const std::wstring& strFile, const std::wstring& strShippedVersion);
    BOOL IsNewVersionTraced(const wchar_t* strCheck, const wchar_t* strEndTrace,
                            const std::wstring& strInstalledVersion, const std::wstring& strShippedVersion);

    // --- Device access (workflow/ModeChange.cpp) ---
    // Sends the mode change to every CD-ROM drive but the own one that has "Plugstart.exe" at its root.
    void ModeChangeOtherDevices(wchar_t ownLetter);
};
