// CWnd: a window object bound to an HWND, with subclassing and message reflection for controls.
#pragma once

#include <windows.h>

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return this ? m_hWnd : nullptr; }

    // The object bound to window, or nullptr for a window without one.
    static CWnd* FromHandlePermanent(HWND window);

    // Binds this object to an existing control of parent and routes its messages through WindowProc.
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    BOOL SubclassWindow(HWND window);
    HWND UnsubclassWindow();

    // Messages that a parent reflects back to the control that caused them (WM_DRAWITEM,
    // WM_CTLCOLOR...). Returns TRUE when handled, with the answer in *result.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    BOOL Invalidate(BOOL erase = TRUE) { return ::InvalidateRect(m_hWnd, nullptr, erase); }
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    // Moves the window's top-left corner to (left, top) of its parent's client area, keeping its
    // size and Z order.
    BOOL MoveTo(int left, int top)
    {
        return ::SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    LONG_PTR GetStyle() const { return ::GetWindowLongPtrW(m_hWnd, GWL_STYLE); }
    LONG_PTR GetExStyle() const { return ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

protected:
    // Handles one message of a subclassed window; the default passes it to the original procedure.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Passes the message being handled to the original window procedure.
    LRESULT Default();

    void Bind(HWND window);
    void Unbind();

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    WNDPROC m_pfnSuper = nullptr;
    MSG m_currentMessage = {};
};
