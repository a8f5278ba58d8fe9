#include "PlugstartApp.h"

#include "CommandLine.h"
#include "SystemInfo.h"
#include "autoplay/AutoPlay.h"
#include "config/ConfigFile.h"
#include "config/Language.h"
#include "config/Messages.h"
#include "config/ModulePath.h"
#include "framework/MessageBoxSeam.h"
#include "framework/StringFormat.h"
#include "framework/Trace.h"
#include "workflow/PlugstartDlg.h"

using namespace plug;

namespace {

const wchar_t kInstanceMutexName[] = L"Norvo Plugstart Program";

// The visible top-level window titled like our main dialog, or nullptr.
HWND FindVisibleMainWindow()
{
    std::wstring title = GetLanguageString(L"STR_STRING_TITLE");
    if (title.empty()) // an untitled window would be anybody's
        return nullptr;
    HWND window = ::FindWindowW(nullptr, title.c_str());
    return (window && ::IsWindowVisible(window)) ? window : nullptr;
}

} // namespace

CPlugstartApp* PlugstartApp() { return static_cast<CPlugstartApp*>(AfxGetApp()); }

int CPlugstartApp::GetWindowsVersionClass() { return plug::GetWindowsVersionClass(); }
BOOL CPlugstartApp::IsVistaOS() { return plug::IsVistaOS(); }
int CPlugstartApp::IsWow64() { return plug::IsWow64(); }

BOOL CPlugstartApp::InitInstance()
{
    TraceMoment(L"start-up: language file, mutex, command line");
    if (StartUp())
        RunMainDialog();
    return FALSE; // the process ends when the main dialog has closed
}

BOOL CPlugstartApp::StartUp()
{
    // The language file must be there before anything else: every text comes from it.
    std::wstring languageFile = GetModuleDirectory() + SelectLanguageFile();
    if (!IsExistFile(languageFile)) {
        ShowMessageBox(nullptr,
                       FormatString(L"%ls\n\n(%ls)", L"Cannot found language resource file.", languageFile.c_str()),
                       L"Norvo Installer", MB_ICONEXCLAMATION | MB_OK);
        return FALSE;
    }
    SetLanguageFile(languageFile);

    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, kInstanceMutexName);
    DWORD mutexError = ::GetLastError(); // read before anything else can change it
    m_hInstanceMutex.Attach(mutex);
    m_hOtherInstance = (mutexError == ERROR_ALREADY_EXISTS) ? FindVisibleMainWindow() : nullptr;

    m_bVistaOS = IsVistaOS();

    StartArguments start = ParseStartArguments(m_lpCmdLine);
    m_strArgument = start.argument;
    m_strDriveLetter = start.driveLetter;
    if (start.letterMissing) {
        ShowLanguageMessage(nullptr, L"STR_STRING_APP_INIT_FAILED_003", MB_ICONEXCLAMATION | MB_OK);
        return FALSE;
    }

    AfxEnableControlContainer();
    Enable3dControls();
    return TRUE;
}

BOOL CPlugstartApp::ShouldCheckAutoplay() const
{
    if (!m_strArgument.empty())
        return FALSE; // never at a PC start
    std::wstring itkType = GetConfigValue(nullptr, L"ITK", L"itk_type");
    std::wstring autoset = GetConfigValue(nullptr, L"DRIVER", L"cdrom_autoset");
    return (EqualsNoCase(itkType, L"1") || EqualsNoCase(itkType, L"2")) && EqualsNoCase(autoset, L"1");
}

BOOL CPlugstartApp::SetCDROMAutoRun()
{
    m_bStartNewTrace = FALSE;
    Trace(L"=============[CPlugstartApp::SetCDROMAutoRun() CD START]==============\r\n", true);
    AutoplaySystem system;
    system.vista = IsVistaOS() != FALSE;
    system.windows2000 = GetWindowsVersionClass() == 5;
    AutoplayRepairTool tool;
    tool.path = GetModuleDirectory() + L"tools\\NorvoSetCDROMAutoRun.exe";
    return CheckAndRepairAutoplay(system, tool);
}

void CPlugstartApp::RunMainDialog()
{
    TraceMoment(L"main dialog object");
    CPlugstartDlg dialog;
    TraceMoment(L"autoplay check");
    m_pMainWnd = &dialog;
    if (ShouldCheckAutoplay())
        SetCDROMAutoRun(); // its answer changes nothing here
    // The run's record takes copies of the start facts, so it takes them after everything that
    // changes them: the autoplay check above begins the trace itself and clears
    // m_bStartNewTrace, so that the dialog's CD-start banner continues that trace instead of
    // beginning a new one (which would empty the log of the check).
    m_nWow64 = IsWow64();
    dialog.SetStart(*this, m_hOtherInstance);
    TraceMoment(L"main dialog window");
    dialog.DoModal();
    TraceMoment(L"main dialog closed");
    m_pMainWnd = nullptr;
}

int CPlugstartApp::ExitInstance()
{
    m_hInstanceMutex.Reset();
    return CWinApp::ExitInstance();
}
