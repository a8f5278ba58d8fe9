#include "PlugstartDlg.h"

#include "config/Language.h"
#include "detect/FileVersion.h"
#include "detect/VersionText.h"
#include "framework/ProcessStart.h"
#include "framework/Trace.h"
#include "res/resource.h"
#include "service/ProcessLookup.h"

CPlugstartDlg::CPlugstartDlg(CWnd* parent)
    : CDialog(IDD_PLUGSTART_DIALOG, parent), m_core(*this, *this), m_SVC(m_core.ServiceInstaller())
{
}

CPlugstartDlg::~CPlugstartDlg() = default;

BOOL CPlugstartDlg::IsNewVersion(const std::wstring& strOld, const std::wstring& strNew)
{
    return plug::IsNewerVersion(strOld, strNew) ? TRUE : FALSE;
}

std::wstring CPlugstartDlg::GetFileVersion(const std::wstring& strPath) { return plug::GetFileVersionText(strPath); }

BOOL CPlugstartDlg::TechFindProcess(LPCTSTR sProcessName) { return plug::TechFindProcess(sProcessName); }

void CPlugstartDlg::Trace(const std::wstring& text, bool startNew) { plug::Trace(text, startNew); }

void CPlugstartDlg::RepaintAll()
{
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CPlugstartDlg::RepaintStatus()
{
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, &m_rcStatus, TRUE);
}

plug::UniqueHandle CPlugstartDlg::StartProgram(const std::wstring& program, const std::wstring& parameters,
                                               int showCommand)
{
    return plug::StartProgram(program, parameters, showCommand);
}

BOOL CPlugstartDlg::WaitForProgram(HANDLE process, DWORD timeoutMs)
{
    return plug::WaitForProcessEnd(process, timeoutMs);
}

// Until the auto-run workflow is in place the main dialog only shows itself under its
// localised title with a Cancel button that closes it.
BOOL CPlugstartDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    ::SetWindowTextW(m_hWnd, plug::GetLanguageString(L"STR_STRING_TITLE").c_str());
    HWND cancel = GetDlgItem(IDCANCEL);
    ::SetWindowTextW(cancel, plug::GetLanguageString(L"STR_STRING_BTN_CANCEL").c_str());
    ::SetWindowPos(cancel, nullptr, 120, 100, 94, 24, SWP_NOZORDER | SWP_SHOWWINDOW);
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, GetStyle() | WS_CAPTION | WS_SYSMENU);
    RECT work = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ::SetWindowPos(m_hWnd, nullptr, (work.left + work.right - 340) / 2, (work.top + work.bottom - 238) / 2, 340, 238,
                   SWP_NOZORDER | SWP_FRAMECHANGED);
    return TRUE;
}

// Enter, Escape and Space never close the dialog nor press its buttons.
BOOL CPlugstartDlg::PreTranslateMessage(MSG* message)
{
    if (message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN) {
        if (message->wParam == VK_RETURN || message->wParam == VK_ESCAPE || message->wParam == VK_SPACE)
            return TRUE;
    }
    return CDialog::PreTranslateMessage(message);
}
