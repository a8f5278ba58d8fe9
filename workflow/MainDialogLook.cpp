#include "MainDialogLook.h"

#include "StatusText.h"
#include "config/Language.h"
#include "core/WorkerMessages.h"
#include "res/resource.h"
#include "skin/DialogPaint.h"
#include "skin/SkinButton.h"

namespace plug {

namespace {

const COLORREF kUnplugColour = RGB(150, 0, 0);

int TextWidthIn(HDC dc, HFONT font, const std::wstring& text) { return TextExtentIn(dc, font, text).cx; }

} // namespace

void DressMainWindow(HWND window)
{
    ::SetWindowLongPtrW(window, GWL_STYLE, ::GetWindowLongPtrW(window, GWL_STYLE) | WS_SYSMENU | WS_MINIMIZEBOX);
    UniqueBitmap background = LoadBitmapResource(IDB_MAIN_BACKGROUND);
    SizeToBitmapAndCentre(window, background.Get());
    ::SetWindowTextW(window, GetLanguageString(L"STR_STRING_TITLE").c_str());
}

void SetUpMainCancelButton(CSkinButton& button)
{
    button.ShowWindow(SW_SHOW);
    SetUpDialogButton(button, IDB_BUTTON_STRIP, GetLanguageString(L"STR_STRING_BTN_CANCEL"));
    button.MoveTo(main_layout::kCancelButton.x, main_layout::kCancelButton.y);
}

std::wstring StatusTextFor(const StatusState& state)
{
    return ChooseStatusText(state, [](const std::wstring& key) { return GetLanguageString(key); });
}

BOOL MainDialogLook::Create()
{
    m_smallFont = CreateDialogFont(12, FW_NORMAL);
    if (!m_smallFont)
        return FALSE;
    m_statusFont = CreateDialogFont(12, FW_BOLD);
    if (!m_statusFont)
        return FALSE;
    m_background = LoadBitmapResource(IDB_MAIN_BACKGROUND);
    m_animation.Load();
    return TRUE;
}

RECT MainDialogLook::NextAnimationArea(int* frame) const
{
    const SIZE size = AnimationSize();
    const LayoutPoint origin = main_layout::kAnimation;
    RECT area = {origin.x, origin.y, origin.x + size.cx, origin.y + size.cy};
    if (*frame == -1) {
        area.top -= 10;
        area.bottom += 10;
        area.right += 20;
    }
    *frame = NextAnimationFrame(*frame);
    return area;
}

void MainDialogLook::Paint(HDC dc, const StatusState& state, int frame, RECT* statusRect) const
{
    DrawBitmap(dc, m_background.Get(), 0, 0);
    ::SetBkMode(dc, TRANSPARENT);
    *statusRect = ToRect(main_layout::kStatusBox);
    PaintStatus(dc, StatusTextFor(state));

    DrawUnplugNotice(dc, m_smallFont.Get(), GetLanguageString(L"STR_STRING_DONOT_UNPLUG_USB"));

    const SIZE size = AnimationSize();
    m_animation.Draw(dc, main_layout::kAnimation.x, main_layout::kAnimation.y, frame, size.cx, size.cy);
}

void MainDialogLook::PaintStatus(HDC dc, const std::wstring& text) const
{
    // Measured in both fonts; ChooseStatusLayout alone decides which one draws it, and on how
    // many lines.
    const StatusLayout layout = ChooseStatusLayout(TextWidthIn(dc, m_statusFont.Get(), text),
                                                   TextWidthIn(dc, m_smallFont.Get(), text));
    SelectObjectScope font(dc, layout.smallFont ? m_smallFont.Get() : m_statusFont.Get());
    ::SetTextColor(dc, kLightTextColour);
    if (layout.twoLines)
        DrawTextInBox(dc, text, ToRect(main_layout::kStatusBox), DT_WORDBREAK | DT_VCENTER);
    else
        DrawTextInBox(dc, text, ToRect(main_layout::kStatusLine), DT_SINGLELINE | DT_VCENTER);
}

void DrawUnplugNotice(HDC dc, HFONT font, const std::wstring& text)
{
    SelectObjectScope select(dc, font);
    ::SetTextColor(dc, kUnplugColour);
    DrawTextInBox(dc, text, ToRect(main_layout::kUnplugNotice), DT_WORDBREAK | DT_VCENTER);
}

} // namespace plug
