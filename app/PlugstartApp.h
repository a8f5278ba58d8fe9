// CPlugstartApp: the application object. Its start-up checks the language file, detects a
// second instance, tells a CD start from a PC start and runs the main dialog.
#pragma once

#include "framework/Handle.h"
#include "framework/WinApp.h"
#include "run/RunState.h"

#include <string>

// What its start-up finds (the command line's argument and drive letter, the Windows class, whether
// the next trace begins a new log) are its StartFacts, which the main dialog takes when it runs.
class CPlugstartApp : public CWinApp, public StartFacts {
public:
    CPlugstartApp() = default;

    plug::UniqueHandle m_hInstanceMutex;

    BOOL InitInstance() override;
    int ExitInstance() override;

    static int GetWindowsVersionClass();
    static BOOL IsVistaOS();
    static int IsWow64();

    // Start-up steps before the main dialog: language file, mutex, other instance, Windows
    // class and command line. FALSE when the program must end (the user has been told why).
    BOOL StartUp();
    // The window of an already running instance found by StartUp, or nullptr.
    HWND OtherInstanceWindow() const { return m_hOtherInstance; }
    // Whether a CD start checks the autoplay settings (config ITK/itk_type and DRIVER/cdrom_autoset).
    BOOL ShouldCheckAutoplay() const;
    // Checks the Windows autoplay settings for CD-ROM drives and, with the user's consent,
    // repairs them; begins a new trace. FALSE only when one of its registry writes failed.
    BOOL SetCDROMAutoRun();

private:
    void RunMainDialog();

    HWND m_hOtherInstance = nullptr;
};

// The one application object of the process.
CPlugstartApp* PlugstartApp();
