#include "CDWebInstallerDlg.h"

#include "DownloadCheck.h"
#include "DownloadCheckLibrary.h"
#include "GuideLayout.h"
#include "config/ConfigFile.h"
#include "config/Language.h"
#include "config/Messages.h"
#include "config/ModulePath.h"
#include "config/SystemFolders.h"
#include "framework/StringFormat.h"
#include "res/resource.h"
#include "skin/DialogPaint.h"

using namespace plug::guide_layout;

namespace {

const COLORREF kCaptionShadow = RGB(84, 84, 84);
const COLORREF kHeadingColour = RGB(78, 129, 204);

const UINT kInformation = MB_ICONINFORMATION | MB_OK;

void ShowInformation(const wchar_t* key) { plug::ShowLanguageMessage(nullptr, key, kInformation); }

} // namespace

CCDWebInstallerDlg::CCDWebInstallerDlg() : CDialog(IDD_CDWEBINSTALLER_DIALOG, nullptr)
{
    KeepKeys(kKeepEnterAndEscape);
    DragByBody();
}

void CCDWebInstallerDlg::DoDataExchange()
{
    DDX_Control(IDC_GUIDE_DOWNLOAD, m_btnDownload);
    DDX_Control(IDC_GUIDE_INSTALL_CD, m_btnInstallCD);
    DDX_Control(IDC_GUIDE_CLOSE, m_btnClose);
    DDX_Control(IDC_GUIDE_OK, m_btnOK);
}

BOOL CCDWebInstallerDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (IsSuiteCdPresent()) {
        EndDialog(1);
        return TRUE;
    }
    m_bDownloadAvailable = IsDownloadAvailable(plug::GetConfigValue(m_hWnd, L"WEB", L"norvopcsuite_test_ver"));
    m_bCDInclude = plug::EqualsNoCase(plug::GetConfigValue(m_hWnd, L"WEB", L"cd_include"), L"1");
    LayOutControls();
    m_background = plug::LoadBitmapResource(IDB_GUIDE_BACKGROUND);
    plug::SizeToBitmapAndCentre(m_hWnd, m_background.Get());
    m_bReady = TRUE;
    return TRUE;
}

bool CCDWebInstallerDlg::IsSuiteCdPresent()
{
    for (const std::wstring& root : plug::CdromDriveRoots()) {
        if (plug::IsExistFile(root + L"tools\\install.ini"))
            return true;
    }
    return false;
}

bool CCDWebInstallerDlg::IsDownloadAvailable(const std::wstring& versionText)
{
    plug::DownloadCheckAnswer answer = plug::CallDownloadCheck(versionText);
    return answer.loaded && answer.succeeded;
}

std::wstring CCDWebInstallerDlg::AskForDownloadAddress(const std::wstring& versionText)
{
    plug::DownloadCheckAnswer answer = plug::CallDownloadCheck(versionText);
    if (!answer.loaded) {
        ShowInformation(L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_0");
        return std::wstring();
    }
    std::wstring downloadPath = plug::GetConfigValue(m_hWnd, L"WEB", L"norvopcsuite_def_downurl");
    plug::DownloadCheckVerdict verdict = plug::InterpretDownloadCheck(answer.succeeded, answer.resultText,
                                                                      answer.candidates, downloadPath);
    if (verdict.messageKey)
        ShowInformation(verdict.messageKey);
    return verdict.address;
}

void CCDWebInstallerDlg::LayOutControls()
{
    m_pCaptionFont = plug::CreateDialogFont(12, FW_BOLD);
    m_pHeadingFont = plug::CreateDialogFont(20, FW_BOLD);
    m_pBodyFont = plug::CreateDialogFont(18, FW_NORMAL);
    m_pBodyBoldFont = plug::CreateDialogFont(18, FW_BOLD);

    m_btnClose.LoadSkin(IDB_GUIDE_BUTTON_STRIP, 0, 4);
    m_btnClose.MoveTo(kCloseButton.x, kCloseButton.y);
    m_btnClose.ShowWindow(SW_SHOW);

    plug::SetUpDialogButton(m_btnOK, IDB_BUTTON_STRIP, plug::GetLanguageString(L"STR_STRING_BTN_OK"));
    if (m_bDownloadAvailable) {
        m_btnOK.MoveTo(kOkBesideDownload.x, kOkBesideDownload.y);
        plug::SetUpDialogButton(m_btnDownload, IDB_BUTTON_STRIP,
                                plug::GetLanguageString(L"STR_STRING_INSTALL_GUIDE_DOWNLOAD"));
        m_btnDownload.MoveTo(kDownloadButton.x, kDownloadButton.y);
        m_btnDownload.ShowWindow(SW_SHOW);
    } else {
        m_btnOK.MoveTo(kOkAlone.x, kOkAlone.y);
        m_btnDownload.ShowWindow(SW_HIDE);
    }
    m_btnOK.ShowWindow(SW_SHOW);
    m_btnInstallCD.ShowWindow(SW_HIDE);
}

BOOL CCDWebInstallerDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            break;
        if (LOWORD(wParam) == IDC_GUIDE_OK || LOWORD(wParam) == IDC_GUIDE_CLOSE) {
            EndDialog(1);
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_GUIDE_DOWNLOAD) {
            OnDownload();
            return TRUE;
        }
        break;
    case WM_CLOSE:
        result = 0;
        return TRUE;
    case WM_ERASEBKGND:
        if (!m_bReady)
            return FALSE;
        plug::DrawBitmap(reinterpret_cast<HDC>(wParam), m_background.Get(), 0, 0);
        result = TRUE;
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT paint = {};
        HDC dc = ::BeginPaint(m_hWnd, &paint);
        Paint(dc);
        ::EndPaint(m_hWnd, &paint);
        result = 0;
        return TRUE;
    }
    default:
        break;
    }
    return CDialog::OnMessage(message, wParam, lParam, result);
}

void CCDWebInstallerDlg::OnDownload()
{
    m_strDownloadURL.clear();
    std::wstring address = AskForDownloadAddress(plug::GetConfigValue(m_hWnd, L"WEB", L"norvopcsuite_test_ver"));
    // Only a web address goes to the shell: anything else could start a program or open a file.
    if (plug::IsWebAddress(address))
        m_strDownloadURL = address;
    if (m_strDownloadURL.empty()) {
        ShowInformation(L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE");
        return;
    }
    plug::OpenDownloadAddress(m_strDownloadURL);
    EndDialog(1);
}

void CCDWebInstallerDlg::Paint(HDC dc) const
{
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    ::SetBkMode(dc, TRANSPARENT);
    {
        plug::SelectObjectScope font(dc, m_pCaptionFont.Get());
        std::wstring title = plug::GetLanguageString(L"STR_STRING_INSTALL_GUIDE_TITLE");
        ::SetTextColor(dc, kCaptionShadow);
        RECT caption = {kCaptionTitle.x, kCaptionTitle.y, client.right, kCaptionHeight};
        plug::DrawTextInBox(dc, title, caption, DT_SINGLELINE | DT_VCENTER);
        ::SetTextColor(dc, RGB(255, 255, 255));
        ::OffsetRect(&caption, -1, -1);
        plug::DrawTextInBox(dc, title, caption, DT_SINGLELINE | DT_VCENTER);
    }
    {
        plug::SelectObjectScope font(dc, m_pHeadingFont.Get());
        ::SetTextColor(dc, kHeadingColour);
        plug::DrawTextInBox(dc, plug::GetLanguageString(L"STR_STEING_INSTALL_GUIDE_TXT_TOP"),
                            RECT{kHeading.left, kHeading.top, client.right, kHeading.bottom},
                            DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    ::SetTextColor(dc, RGB(0, 0, 0));
    PaintGuideText(dc);
}

void CCDWebInstallerDlg::PaintGuideText(HDC dc) const
{
    if (!m_bCDInclude) {
        plug::SelectObjectScope font(dc, m_pBodyFont.Get());
        plug::DrawTextInBox(dc,
                            plug::GetLanguageString(m_bDownloadAvailable
                                                        ? L"STR_STEING_INSTALL_GUIDE_TXT_MAIN_CONTENTS_3"
                                                        : L"STR_STEING_INSTALL_GUIDE_TXT_MAIN_CONTENTS_4"),
                            plug::ToRect(kBody), DT_WORDBREAK);
        return;
    }
    // The lead line: in the heading font when it fits the body's width on one line, else in the
    // bold body font, wrapped onto two lines when it is too wide for that too.
    std::wstring top = plug::GetLanguageString(L"STR_STEING_INSTALL_GUIDE_TXT_MAIN_TOP");
    HFONT topFont = m_pHeadingFont.Get();
    SIZE extent = plug::TextExtentIn(dc, topFont, top);
    bool wrapped = false;
    if (extent.cx > kBody.Width()) {
        topFont = m_pBodyBoldFont.Get();
        extent = plug::TextExtentIn(dc, topFont, top);
        wrapped = extent.cx > kBody.Width();
    }
    RECT contents = plug::ToRect(kBody);
    {
        plug::SelectObjectScope font(dc, topFont);
        plug::DrawTextInBox(dc, top, contents, wrapped ? DT_WORDBREAK : DT_SINGLELINE);
    }

    // The instruction below it, in the body font.
    contents.top = kBody.top + kInstructionGap + (wrapped ? 2 * extent.cy : extent.cy);
    plug::SelectObjectScope font(dc, m_pBodyFont.Get());
    plug::DrawTextInBox(dc,
                        plug::GetLanguageString(m_bDownloadAvailable ? L"STR_STEING_INSTALL_GUIDE_TXT_MAIN_CONTENTS_1"
                                                                     : L"STR_STEING_INSTALL_GUIDE_TXT_MAIN_CONTENTS_2"),
                        contents, DT_WORDBREAK);
}
