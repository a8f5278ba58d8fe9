#include "Wnd.h"

namespace {
const wchar_t kObjectProperty[] = L"Plugstart.CWnd";
}

CWnd::~CWnd()
{
    if (m_pfnSuper && m_hWnd && ::IsWindow(m_hWnd))
        UnsubclassWindow();
    else
        Unbind();
}

CWnd* CWnd::FromHandlePermanent(HWND window)
{
    if (!window)
        return nullptr;
    return static_cast<CWnd*>(::GetPropW(window, kObjectProperty));
}

void CWnd::Bind(HWND window)
{
    m_hWnd = window;
    ::SetPropW(window, kObjectProperty, this);
}

void CWnd::Unbind()
{
    if (m_hWnd && ::IsWindow(m_hWnd) && FromHandlePermanent(m_hWnd) == this)
        ::RemovePropW(m_hWnd, kObjectProperty);
    m_hWnd = nullptr;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    HWND control = ::GetDlgItem(parent->m_hWnd, static_cast<int>(id));
    return control ? SubclassWindow(control) : FALSE;
}

BOOL CWnd::SubclassWindow(HWND window)
{
    if (!window || m_hWnd || FromHandlePermanent(window))
        return FALSE;
    Bind(window);
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
    return TRUE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND window = m_hWnd;
    if (window && m_pfnSuper)
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    Unbind();
    return window;
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return FALSE; }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return ::CallWindowProcW(m_pfnSuper, m_hWnd, m_currentMessage.message, m_currentMessage.wParam,
                             m_currentMessage.lParam);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* self = FromHandlePermanent(window);
    if (!self || !self->m_pfnSuper)
        return ::DefWindowProcW(window, message, wParam, lParam);

    MSG saved = self->m_currentMessage; // messages nest: keep the outer one for Default()
    self->m_currentMessage = MSG{window, message, wParam, lParam, 0, {0, 0}};
    LRESULT result = 0;
    if (message == WM_NCDESTROY) {
        WNDPROC super = self->m_pfnSuper;
        self->UnsubclassWindow();
        result = ::CallWindowProcW(super, window, message, wParam, lParam);
    } else {
        result = self->WindowProc(message, wParam, lParam);
    }
    self->m_currentMessage = saved;
    return result;
}
