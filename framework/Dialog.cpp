#include "Dialog.h"

#include "DialogTemplate.h"

#include <vector>

namespace {

HINSTANCE g_resourceModule = nullptr;

bool LoadDialogTemplate(HINSTANCE module, UINT id, std::vector<BYTE>& out)
{
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    if (!resource)
        return false;
    HGLOBAL loaded = ::LoadResource(module, resource);
    const BYTE* data = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    DWORD size = ::SizeofResource(module, resource);
    if (!data || size == 0)
        return false;
    out.assign(data, data + size);
    return true;
}

} // namespace

CDialog::CDialog(UINT templateId, CWnd* parent) : m_pParentWnd(parent), m_nTemplateId(templateId) {}

CDialog::~CDialog()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    Unbind();
}

void CDialog::SetResourceModule(HINSTANCE module) { g_resourceModule = module; }

HINSTANCE CDialog::ResourceModule() { return g_resourceModule ? g_resourceModule : ::GetModuleHandleW(nullptr); }

INT_PTR CDialog::DoModal()
{
    std::vector<BYTE> dialogTemplate;
    if (!LoadDialogTemplate(ResourceModule(), m_nTemplateId, dialogTemplate))
        return -1;
    // The dialog is shown by the loop below once initialisation is over, so that a dialog that
    // ends (or hides itself) in OnInitDialog never flashes on the screen.
    DWORD* style = plug::DialogTemplateStyle(dialogTemplate);
    if (!style)
        return -1;
    bool visible = (*style & WS_VISIBLE) != 0;
    *style &= ~static_cast<DWORD>(WS_VISIBLE);
    m_controlsTemplate.clear();
    if (m_bDeferControls && CanMakeControlsLater(dialogTemplate)) {
        m_controlsTemplate = dialogTemplate;
        plug::RemoveDialogControls(dialogTemplate);
    }

    HWND parent = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    bool parentEnabled = parent && ::IsWindowEnabled(parent);
    if (parentEnabled)
        ::EnableWindow(parent, FALSE);

    m_bContinueModal = TRUE;
    m_nModalResult = -1;
    m_bStayHidden = FALSE;
    HWND window = ::CreateDialogIndirectParamW(ResourceModule(),
                                               reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()), parent,
                                               &CDialog::StaticDialogProc, reinterpret_cast<LPARAM>(this));
    if (window) {
        if (m_bContinueModal && visible && !m_bStayHidden) {
            ::ShowWindow(window, SW_SHOWNORMAL);
            ::UpdateWindow(window);
        }
        RunModalLoop();
        if (parentEnabled) // re-enable first, so that Windows activates the parent, not another app
            ::EnableWindow(parent, TRUE);
        if (::IsWindow(window))
            ::DestroyWindow(window);
    } else if (parentEnabled) {
        ::EnableWindow(parent, TRUE);
    }
    Unbind();
    m_controlsTemplate.clear();
    return window ? m_nModalResult : -1;
}

bool CDialog::CanMakeControlsLater(const std::vector<BYTE>& dialogTemplate)
{
    std::vector<plug::DialogControl> controls;
    if (!plug::ReadDialogControls(dialogTemplate, controls))
        return false;
    for (const plug::DialogControl& control : controls) {
        if (control.creationDataBytes != 0)
            return false; // such a control is left to the dialog manager
    }
    return true;
}

BOOL CDialog::CreateControls()
{
    if (m_controlsTemplate.empty())
        return m_hWnd != nullptr; // made with the window, or made already
    const std::vector<BYTE> dialogTemplate = std::move(m_controlsTemplate);
    m_controlsTemplate.clear();
    std::vector<plug::DialogControl> controls;
    if (!plug::ReadDialogControls(dialogTemplate, controls))
        return FALSE;
    // The dialog manager's arithmetic: a control's position and size in dialog units scaled by
    // the dialog's base units (per 4 units across, per 8 down), its font the dialog's.
    RECT baseUnits = {0, 0, 4, 8};
    ::MapDialogRect(m_hWnd, &baseUnits);
    const LRESULT font = ::SendMessageW(m_hWnd, WM_GETFONT, 0, 0);
    for (const plug::DialogControl& control : controls) {
        HWND made = ::CreateWindowExW(
            control.exStyle | WS_EX_NOPARENTNOTIFY, control.className, control.title, control.style | WS_CHILD,
            ::MulDiv(control.x, baseUnits.right, 4), ::MulDiv(control.y, baseUnits.bottom, 8),
            ::MulDiv(control.cx, baseUnits.right, 4), ::MulDiv(control.cy, baseUnits.bottom, 8), m_hWnd,
            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(control.id)), ResourceModule(), nullptr);
        if (!made)
            return FALSE;
        if (control.helpId != 0)
            ::SetWindowContextHelpId(made, control.helpId);
        if (font)
            ::SendMessageW(made, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    }
    DoDataExchange();
    return TRUE;
}

void CDialog::RunModalLoop()
{
    MSG message;
    while (m_bContinueModal) {
        BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == -1)
            break;
        if (got == 0) { // WM_QUIT: hand it on to the outer loop and leave
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        bool ours = message.hwnd == m_hWnd || ::IsChild(m_hWnd, message.hwnd);
        if (ours && PreTranslateMessage(&message))
            continue;
        if (ours && ::IsDialogMessageW(m_hWnd, &message))
            continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void CDialog::EndDialog(int code)
{
    m_nModalResult = code;
    m_bContinueModal = FALSE;
    if (m_hWnd)
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0); // wake the modal loop
}

BOOL CDialog::OnInitDialog()
{
    if (m_controlsTemplate.empty()) // deferred controls are bound when they are made
        DoDataExchange();
    return TRUE;
}

void CDialog::OnOK() { EndDialog(IDOK); }
void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::PreTranslateMessage(MSG* message)
{
    const bool keyDown = message->message == WM_KEYDOWN ||
                         (message->message == WM_SYSKEYDOWN && (m_keptKeys & kKeepWithAlt));
    if (!keyDown)
        return FALSE;
    switch (message->wParam) {
    case VK_RETURN:
    case VK_ESCAPE:
        return (m_keptKeys & kKeepEnterAndEscape) != 0;
    case VK_SPACE:
        return (m_keptKeys & kKeepSpace) != 0;
    default:
        return FALSE;
    }
}

void CDialog::DDX_Control(int id, CWnd& control)
{
    if (!control.m_hWnd)
        control.SubclassDlgItem(static_cast<UINT>(id), this);
}

BOOL CDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_INITDIALOG:
        // A dialog that ended in its initialisation goes unseen: it takes no focus (answering
        // TRUE would have Windows give its first control the focus, and with it the activation,
        // only for the dialog to be destroyed).
        result = OnInitDialog() && m_bContinueModal;
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDOK) {
            OnOK();
            return TRUE;
        }
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    case WM_LBUTTONDOWN:
        if (m_bDragByBody)
            ::PostMessageW(m_hWnd, WM_NCLBUTTONDOWN, HTCAPTION, lParam);
        return FALSE;
    case WM_DRAWITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        return ReflectToChild(message, wParam, lParam, result);
    default:
        return FALSE;
    }
}

BOOL CDialog::ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    HWND child = message == WM_DRAWITEM ? reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem
                                        : reinterpret_cast<HWND>(lParam);
    CWnd* control = FromHandlePermanent(child);
    return control && control != this && control->OnChildNotify(message, wParam, lParam, &result);
}

INT_PTR CALLBACK CDialog::StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        self->Bind(window);
    } else {
        self = static_cast<CDialog*>(FromHandlePermanent(window));
    }
    if (!self || self->m_hWnd != window)
        return FALSE;

    LRESULT result = 0;
    if (!self->OnMessage(message, wParam, lParam, result))
        return FALSE;
    switch (message) {
    // These messages answer through the dialog procedure's return value itself.
    case WM_INITDIALOG:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG:
    case WM_QUERYDRAGICON:
        return static_cast<INT_PTR>(result);
    default:
        ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
        return TRUE;
    }
}
