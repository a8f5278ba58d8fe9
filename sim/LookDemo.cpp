// Shows the program's dialogs one at a time for screenshots (scripts/look-screens.sh): the main
// dialog's status painting in a given state, the staging dialog, the PC-suite guide. Each ends by
// itself after a few seconds. Test and demo builds only.
//   LookDemo.exe status initial|driver|kit|launching
//   LookDemo.exe staging
//   LookDemo.exe guide
#include "companion/CDWebInstallerDlg.h"
#include "config/Language.h"
#include "config/ModulePath.h"
#include "core/WorkerMessages.h"
#include "res/resource.h"
#include "run/ResDefineCommand.h"
#include "skin/SkinButton.h"
#include "workflow/InitDlg.h"
#include "workflow/MainDialogLook.h"

#include <shellapi.h>

#include <string>

namespace {

const UINT_PTR kEndTimer = 1;
const UINT_PTR kAnimationTimer = 5000;
const UINT kShowMs = 6000;

// The main dialog's template painted the way the main dialog paints it, in one fixed state.
class StatusDemo : public CDialog {
public:
    explicit StatusDemo(const plug::StatusState& inputs) : CDialog(IDD_PLUGSTART_DIALOG), m_inputs(inputs) {}

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (!m_look.Create()) {
            EndDialog(2);
            return TRUE;
        }
        plug::DressMainWindow(m_hWnd);
        m_cancel.SubclassDlgItem(IDCANCEL, this);
        plug::SetUpMainCancelButton(m_cancel);
        ::SetTimer(m_hWnd, kAnimationTimer, 100, nullptr);
        ::SetTimer(m_hWnd, kEndTimer, kShowMs, nullptr);
        return TRUE;
    }
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (message == WM_ERASEBKGND) {
            RECT status = {};
            m_look.Paint(reinterpret_cast<HDC>(wParam), m_inputs, m_frame, &status);
            result = TRUE;
            return TRUE;
        }
        if (message == WM_TIMER && wParam == kAnimationTimer) {
            RECT area = m_look.NextAnimationArea(&m_frame);
            ::InvalidateRect(m_hWnd, &area, TRUE);
            return TRUE;
        }
        if (message == WM_TIMER && wParam == kEndTimer) {
            EndDialog(0);
            return TRUE;
        }
        return CDialog::OnMessage(message, wParam, lParam, result);
    }

private:
    plug::StatusState m_inputs;
    plug::MainDialogLook m_look;
    CSkinButton m_cancel;
    int m_frame = -1;
};

// The staging dialog, held at its first file for a while, then cancelled: nothing is copied.
class StagingDemo : public CInitDlg {
public:
    StagingDemo() : CInitDlg(nullptr) {}

protected:
    BOOL IsCancelRequested() override
    {
        ::Sleep(kShowMs);
        return TRUE;
    }
};

// The guide, closed after a while.
class GuideDemo : public CCDWebInstallerDlg {
protected:
    BOOL OnInitDialog() override
    {
        CCDWebInstallerDlg::OnInitDialog();
        ::SetTimer(m_hWnd, kEndTimer, kShowMs, nullptr);
        return TRUE;
    }
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (message == WM_TIMER && wParam == kEndTimer) {
            EndDialog(0);
            return TRUE;
        }
        return CCDWebInstallerDlg::OnMessage(message, wParam, lParam, result);
    }
};

plug::StatusState DemoState(const std::wstring& name)
{
    plug::StatusState state;
    state.kitType = ITKTYPE_NorvoITK;
    state.japaneseLanguage = plug::IsJapaneseLanguageFile(plug::SelectLanguageFile());
    state.autoRunStarted = name != L"initial";
    state.installingDrv = name == L"driver";
    state.installingITK = name == L"kit";
    state.launchingITK = name == L"launching";
    return state;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::wstring mode = count > 1 ? arguments[1] : L"";
    std::wstring state = count > 2 ? arguments[2] : L"initial";
    ::LocalFree(arguments);
    plug::SetLanguageFile(plug::GetModuleDirectory() + plug::SelectLanguageFile());

    if (mode == L"status") {
        StatusDemo demo(DemoState(state));
        return static_cast<int>(demo.DoModal());
    }
    if (mode == L"staging") {
        StagingDemo demo;
        demo.SetInstallState(FALSE, TRUE, TRUE, FALSE, FALSE);
        demo.SetProfile(DRIVERTYPE_QCT, ITKTYPE_NorvoITK, L"");
        return static_cast<int>(demo.DoModal());
    }
    if (mode == L"guide") {
        GuideDemo demo;
        return static_cast<int>(demo.DoModal());
    }
    return 2;
}
