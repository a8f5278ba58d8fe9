// Shows the program's dialogs one at a time for screenshots (scripts/look-screens.sh): the main
// dialog's status painting in a given state, the staging dialog, the PC-suite guide. Each ends by
// itself after a few seconds. Test and demo builds only.
//   LookDemo.exe status initial|driver|kit|launching [--capture PREFIX]
//   LookDemo.exe staging [initial --capture PREFIX]
//   LookDemo.exe guide [initial --capture PREFIX]
// With --capture the dialog, once on the screen, photographs itself (what the screen shows of its
// window) eight times, PREFIX-0.bmp to PREFIX-7.bmp: picture k with animation frame k and every
// button fixed on frame k % 4 (normal, hover, pressed, disabled); then it ends (tests/look).
#include "companion/CDWebInstallerDlg.h"
#include "config/Language.h"
#include "config/ModulePath.h"
#include "core/WorkerMessages.h"
#include "res/resource.h"
#include "run/ResDefineCommand.h"
#include "skin/SkinButton.h"
#include "workflow/InitDlg.h"
#include "workflow/MainDialogLook.h"

#include "framework/Handle.h"

#include <shellapi.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

const UINT_PTR kEndTimer = 1;
const UINT_PTR kCaptureTimer = 2;
const UINT_PTR kAnimationTimer = 5000;
const UINT kShowMs = 6000;
const UINT kSettleMs = 500; // on the screen and painted before the first picture
const int kCapturedFrames = 8;

std::wstring g_capturePrefix; // --capture: where the pictures go (empty: none)

// Writes what the screen shows of window as a bottom-up 24-bit BMP file.
bool CaptureWindow(HWND window, const std::wstring& path)
{
    RECT area = {};
    ::GetWindowRect(window, &area);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    plug::WindowDC screen(nullptr);
    plug::UniqueBitmap picture(::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    plug::UniqueMemoryDC memory(::CreateCompatibleDC(screen.Get()));
    if (!picture || !memory || !bits)
        return false;
    {
        plug::SelectObjectScope selected(memory.Get(), picture.Get());
        ::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), area.left, area.top, SRCCOPY);
        ::GdiFlush();
    }
    const DWORD imageSize = static_cast<DWORD>(((width * 3 + 3) & ~3) * height);
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42; // "BM"
    header.bfOffBits = sizeof(header) + sizeof(info.bmiHeader);
    header.bfSize = header.bfOffBits + imageSize;
    plug::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.Get(), &header, sizeof(header), &written, nullptr) &&
           ::WriteFile(file.Get(), &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr) &&
           ::WriteFile(file.Get(), bits, imageSize, &written, nullptr);
}

// The eight pictures of --capture: showFrame(k) puts the dialog in picture k's state; the buttons
// are fixed on frame k % 4. False when a picture could not be written.
bool CapturePictures(HWND window, const std::vector<CSkinButton*>& buttons, const std::function<void(int)>& showFrame)
{
    for (int k = 0; k < kCapturedFrames; ++k) {
        showFrame(k);
        for (CSkinButton* button : buttons)
            button->SetFixedState(k % 4, k % 4);
        ::RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        if (!CaptureWindow(window, g_capturePrefix + L"-" + std::to_wstring(k) + L".bmp"))
            return false;
    }
    return true;
}

// Starts the capture once the dialog has settled on the screen (or its end timer without one).
void StartShowing(HWND window)
{
    if (g_capturePrefix.empty())
        ::SetTimer(window, kEndTimer, kShowMs, nullptr);
    else
        ::SetTimer(window, kCaptureTimer, kSettleMs, nullptr);
}

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
        if (g_capturePrefix.empty())
            ::SetTimer(m_hWnd, kAnimationTimer, 100, nullptr);
        StartShowing(m_hWnd);
        return TRUE;
    }
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (message == WM_TIMER && wParam == kCaptureTimer) {
            ::KillTimer(m_hWnd, kCaptureTimer);
            EndDialog(CapturePictures(m_hWnd, {&m_cancel}, [this](int k) { m_frame = k; }) ? 0 : 3);
            return TRUE;
        }
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
    BOOL OnInitDialog() override
    {
        BOOL result = CInitDlg::OnInitDialog();
        if (!g_capturePrefix.empty())
            ::SetTimer(m_hWnd, kCaptureTimer, kSettleMs, nullptr);
        return result;
    }
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (message == WM_TIMER && wParam == kCaptureTimer) {
            ::KillTimer(m_hWnd, kCaptureTimer);
            m_captured = CapturePictures(m_hWnd, {&m_btnCancel}, [this](int k) { m_nFrame = k; });
            m_captureDone = true;
            return TRUE;
        }
        return CInitDlg::OnMessage(message, wParam, lParam, result);
    }
    BOOL IsCancelRequested() override
    {
        for (DWORD waited = 0; waited < kShowMs && !m_captureDone; waited += 50)
            ::Sleep(50);
        return TRUE;
    }

public:
    volatile bool m_captureDone = false;
    bool m_captured = true;
};

// The guide, closed after a while.
class GuideDemo : public CCDWebInstallerDlg {
protected:
    BOOL OnInitDialog() override
    {
        CCDWebInstallerDlg::OnInitDialog();
        StartShowing(m_hWnd);
        return TRUE;
    }
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (message == WM_TIMER && wParam == kCaptureTimer) {
            ::KillTimer(m_hWnd, kCaptureTimer);
            std::vector<CSkinButton*> shown;
            for (CSkinButton* button : {&m_btnDownload, &m_btnClose, &m_btnOK}) {
                if (button->m_hWnd && ::IsWindowVisible(button->m_hWnd))
                    shown.push_back(button);
            }
            EndDialog(CapturePictures(m_hWnd, shown, [](int) {}) ? 0 : 3);
            return TRUE;
        }
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
    if (count > 4 && std::wstring(arguments[3]) == L"--capture")
        g_capturePrefix = arguments[4];
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
        demo.DoModal();
        return demo.m_captured ? 0 : 3;
    }
    if (mode == L"guide") {
        GuideDemo demo;
        return static_cast<int>(demo.DoModal());
    }
    return 2;
}
