#include "SkinButton.h"

#include "DialogPaint.h"
#include "SkinLayout.h"
#include "TransparentBlit.h"

#include <commctrl.h>

CSkinButton::~CSkinButton()
{
    // The window may outlive this object: it must not keep a font that is about to go.
    if (m_font && m_hWnd && ::IsWindow(m_hWnd))
        ::SendMessageW(m_hWnd, WM_SETFONT, 0, FALSE);
}

BOOL CSkinButton::LoadSkin(WORD bitmapId, BYTE focusFlag, int frameCount)
{
    m_bFocusFlag = focusFlag;
    m_bSkinLoaded = 0;
    m_nFrameWidth = 0;
    m_nFrameHeight = 0;
    m_strip = plug::LoadBitmapResource(bitmapId);
    m_bSkinLoaded = m_strip ? 1 : 0;
    return FitToStrip(frameCount);
}

BOOL CSkinButton::FitToStrip(int frameCount)
{
    if (!m_bSkinLoaded)
        return FALSE;
    SIZE strip = plug::BitmapSize(m_strip.Get());
    plug::SkinFit fit = plug::FitSkinStrip(strip.cx, strip.cy, frameCount);
    if (!fit.fitted)
        return FALSE;
    m_nFrameWidth = fit.frameWidth;
    m_nFrameHeight = fit.frameHeight;

    RECT place = {};
    ::GetWindowRect(m_hWnd, &place);
    ::MapWindowPoints(nullptr, ::GetParent(m_hWnd), reinterpret_cast<POINT*>(&place), 2);
    ::MoveWindow(m_hWnd, place.left, place.top, m_nFrameWidth, m_nFrameHeight, TRUE);
    Invalidate(TRUE);

    LONG_PTR style = GetStyle();
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);

    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    plug::UniqueRegion region(::CreateRectRgn(client.left, client.top, client.right + 1, client.bottom + 1));
    if (region && ::SetWindowRgn(m_hWnd, region.Get(), TRUE))
        region.Detach(); // the window owns it now
    return TRUE;
}

void CSkinButton::SetTransparentStyle() { ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, GetExStyle() | WS_EX_TRANSPARENT); }

void CSkinButton::SetTextFont(int width, int height, int weight, const std::wstring& faceName)
{
    plug::UniqueFont font(::CreateFontW(height, width, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                                        VARIABLE_PITCH, faceName.c_str()));
    ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    m_font = std::move(font); // the previous font goes once the window no longer uses it
}

void CSkinButton::SetTextColors(COLORREF normal, COLORREF pressed, COLORREF hover, COLORREF disabled)
{
    m_crNormal = normal;
    m_crPressed = pressed;
    m_crHover = hover;
    m_crDisabled = disabled;
}

void CSkinButton::SetCaption(const std::wstring& text)
{
    m_strCaption = text;
    Invalidate(TRUE);
}

void CSkinButton::SetFixedState(int frame, int colourIndex)
{
    m_bFixedState = 1;
    m_nFixedFrame = frame;
    m_nFixedColour = colourIndex;
    plug::WindowDC dc(m_hWnd);
    if (!dc.Get())
        return;
    DrawFrame(dc.Get(), m_nFixedFrame);
    DrawCaption(dc.Get(), m_nFixedColour);
}

void CSkinButton::DrawItem(LPDRAWITEMSTRUCT drawItem)
{
    HDC dc = drawItem->hDC;
    if (m_bFixedState) {
        DrawFrame(dc, m_nFixedFrame);
        DrawCaption(dc, m_nFixedColour);
        return;
    }
    UINT state = drawItem->itemState;
    plug::SkinFrameChoice choice = plug::ChooseSkinFrame((state & ODS_SELECTED) != 0, (state & ODS_DISABLED) != 0,
                                                         (state & ODS_FOCUS) != 0, m_bHover != 0, m_bFocusFlag == 1);
    RECT focus = drawItem->rcItem;
    focus.left += 8;
    focus.right -= 8;
    focus.top += 3;
    focus.bottom -= 4;
    if (choice.focusBeforeFrame)
        ::DrawFocusRect(dc, &focus);
    DrawFrame(dc, choice.frame);
    if (choice.focusAfterFrame)
        ::DrawFocusRect(dc, &focus);
    DrawCaption(dc, choice.frame);
}

void CSkinButton::DrawFrame(HDC dc, int frame) const
{
    if (!m_bSkinLoaded || m_nFrameWidth <= 0)
        return;
    plug::DrawTransparentFrame(dc, m_strip.Get(), plug::SkinFrameSourceX(frame, m_nFrameWidth), m_nFrameWidth,
                               m_nFrameHeight);
}

void CSkinButton::DrawCaption(HDC dc, int colourIndex) const
{
    if (m_strCaption.empty())
        return;
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
    plug::SelectObjectScope selectFont(dc, font);
    const COLORREF colours[] = {m_crNormal, m_crHover, m_crPressed, m_crDisabled};
    if (colourIndex >= 0 && colourIndex < 4)
        ::SetTextColor(dc, colours[colourIndex]);
    ::SetBkMode(dc, TRANSPARENT);

    RECT window = {};
    ::GetWindowRect(m_hWnd, &window);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&window), 2);
    int width = plug::TextExtent(dc, m_strCaption).cx;
    plug::SkinRect placed = plug::PlaceSkinCaption({window.left, window.top, window.right, window.bottom}, width,
                                                   colourIndex);
    plug::DrawTextInBox(dc, m_strCaption, RECT{placed.left, placed.top, placed.right, placed.bottom},
                        DT_SINGLELINE | DT_VCENTER);
}

BOOL CSkinButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_CTLCOLORBTN || message == WM_CTLCOLORSTATIC) {
        m_brush.Attach(::CreateSolidBrush(m_crBackground)); // the previous brush goes first
        *result = reinterpret_cast<LRESULT>(m_brush.Get());
        return TRUE;
    }
    return CBitmapButton::OnChildNotify(message, wParam, lParam, result);
}

LRESULT CSkinButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEMOVE: {
        TRACKMOUSEEVENT track = {};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_HOVER | TME_LEAVE;
        track.hwndTrack = m_hWnd;
        track.dwHoverTime = 1;
        ::_TrackMouseEvent(&track);
        return Default();
    }
    case WM_MOUSEHOVER:
        Invalidate(FALSE);
        m_bHover = 1;
        return 0;
    case WM_MOUSELEAVE:
        Invalidate(FALSE);
        m_bHover = 0;
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        LRESULT answer = Default();
        Invalidate(FALSE);
        return answer;
    }
    case WM_ENABLE: {
        LRESULT answer = Default();
        Invalidate(TRUE);
        return answer;
    }
    case WM_ERASEBKGND:
        return TRUE;
    default:
        return CBitmapButton::WindowProc(message, wParam, lParam);
    }
}

namespace plug {

BOOL SetUpDialogButton(CSkinButton& button, WORD bitmapId, const std::wstring& caption)
{
    BOOL fitted = button.LoadSkin(bitmapId, 0, 4);
    button.SetTextFont(0, 12, FW_NORMAL, L"MS Sans Serif");
    button.SetTextColors(RGB(0, 0, 0), RGB(0, 0, 0), RGB(0, 0, 0), RGB(180, 180, 180));
    button.SetCaption(caption);
    return fitted;
}

} // namespace plug
