// The main dialog's look: controls, size, animation, the minimised icon and the background with
// the status text.
#include "PlugstartDlg.h"

#include "config/Language.h"
#include "core/WorkerMessages.h"
#include "framework/Handle.h"
#include "res/resource.h"

namespace {

const int kDefaultWidth = 340;
const int kDefaultHeight = 238;

// The size of a bitmap resource, or the fallback when it cannot be loaded.
SIZE BitmapSize(UINT id, SIZE fallback)
{
    plug::UniqueBitmap bitmap(static_cast<HBITMAP>(
        ::LoadImageW(CDialog::ResourceModule(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0)));
    BITMAP info = {};
    if (!bitmap || !::GetObjectW(bitmap.Get(), sizeof(info), &info))
        return fallback;
    return SIZE{info.bmWidth, info.bmHeight};
}

} // namespace

BOOL CPlugstartDlg::InitControl()
{
    HWND cancel = GetDlgItem(IDCANCEL);
    ::SetWindowTextW(cancel, plug::GetLanguageString(L"STR_STRING_BTN_CANCEL").c_str());
    ::SetWindowPos(cancel, nullptr, 123, 193, 94, 24, SWP_NOZORDER | SWP_SHOWWINDOW);
    ::ShowWindow(GetDlgItem(IDC_MAIN_EXIT), SW_HIDE);
    ::ShowWindow(GetDlgItem(IDC_MAIN_1003), SW_HIDE);
    ::ShowWindow(GetDlgItem(IDC_MAIN_1004), SW_HIDE);
    SIZE frame = BitmapSize(IDB_ANIM_0, SIZE{26, 26});
    m_nAnimWidth = frame.cx;
    m_nAnimHeight = frame.cy;
    return TRUE;
}

void CPlugstartDlg::SizeToBackground()
{
    SIZE size = BitmapSize(IDB_MAIN_BACKGROUND, SIZE{kDefaultWidth, kDefaultHeight});
    RECT work = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ::SetWindowPos(m_hWnd, nullptr, (work.left + work.right - size.cx) / 2, (work.top + work.bottom - size.cy) / 2,
                   size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void CPlugstartDlg::StepAnimation()
{
    RECT area = {45, 74, 45 + m_nAnimWidth, 74 + m_nAnimHeight};
    if (m_nAniFrame == -1) {
        area.top -= 10;
        area.bottom += 10;
        area.right += 20;
    }
    if (m_nAniFrame > 6)
        m_nAniFrame = -1;
    ++m_nAniFrame;
    ::InvalidateRect(m_hWnd, &area, TRUE);
}

BOOL CPlugstartDlg::OnPaint()
{
    if (!::IsIconic(m_hWnd))
        return FALSE;
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    int x = (client.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
    return TRUE;
}

// A plain background with the status text until the skinned look is in place.
BOOL CPlugstartDlg::OnEraseBkgnd(HDC dc)
{
    if (!m_bPainted)
        return FALSE;
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    plug::UniqueBrush background(::CreateSolidBrush(RGB(40, 60, 90)));
    ::FillRect(dc, &client, background.Get());
    std::wstring key = L"STR_STRING_INITDLG_STRING";
    if (m_bAutoRunStarted && !m_bInstallingSVC) {
        if (m_bInstallingDrv)
            key = L"STR_STRING_STATUS_TOP_STRING_2_0";
        else if (m_bLaunchingITK && !m_bInstallingITK)
            key = L"STR_STRING_STATUS_TOP_STRING_3_0";
        else
            key = L"STR_STRING_STATUS_TOP_STRING_1_0";
    }
    std::wstring text = plug::WithProductName(plug::GetLanguageString(key), m_ResDefineCommand.nITKType);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(225, 225, 225));
    RECT status = m_rcStatus;
    ::DrawTextW(dc, text.c_str(), -1, &status, DT_WORDBREAK | DT_VCENTER);
    return TRUE;
}
