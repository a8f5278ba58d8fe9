// CWinApp: the application object. The program's wWinMain hands control to AfxWinMain, which
// runs InitInstance and, when it returns FALSE, ExitInstance.
#pragma once

#include "Wnd.h"

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return FALSE; }
    // Returns the process exit code.
    virtual int ExitInstance() { return 0; }

    // Standard start-up calls of a dialog application; nothing for this framework to do.
    void Enable3dControls() {}
    void AfxEnableControlContainer() {}

    HINSTANCE m_hInstance = nullptr;
    const wchar_t* m_lpCmdLine = L"";
    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();

// Runs the application object: returns the exit code of the process.
int AfxWinMain(HINSTANCE instance, const wchar_t* commandLine);
