#include "WinApp.h"

#include <commctrl.h>

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

CWinApp* AfxGetApp() { return g_app; }

int AfxWinMain(HINSTANCE instance, const wchar_t* commandLine)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    app->m_hInstance = instance;
    app->m_lpCmdLine = commandLine ? commandLine : L"";
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    // A dialog application has no message loop of its own: InitInstance runs the main dialog
    // modally, and the process ends whatever it answers.
    app->InitInstance();
    return app->ExitInstance();
}
