#include "MainDialogLook.h"

#include "StatusText.h"
#include "config/Language.h"
#include "core/WorkerMessages.h"
#include "res/resource.h"
#include "skin/DialogPaint.h"
#include "skin/SkinButton.h"

namespace plug {

namespace {

const RECT kStatusBox = {85, 80, 324, 113};
const RECT kStatusLine = {85, 80, 324, 103};
const RECT kUnplugBox = {50, 147, 300, 188};
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
    button.MoveTo(123, 193);
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
    SIZE size = AnimationSize();
    RECT area = {kBusyAnimationOrigin.x, kBusyAnimationOrigin.y, kBusyAnimationOrigin.x + size.cx, kBusyAnimationOrigin.y + size.cy};
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
    *statusRect = kStatusBox;
    PaintStatus(dc, StatusTextFor(state));

    DrawUnplugNotice(dc, m_smallFont.Get(), GetLanguageString(L"STR_STRING_DONOT_UNPLUG_USB"));

    SIZE size = AnimationSize();
    m_animation.Draw(dc, kBusyAnimationOrigin.x, kBusyAnimationOrigin.y, frame, size.cx, size.cy);
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
        DrawTextInBox(dc, text, kStatusBox, DT_WORDBREAK | DT_VCENTER);
    else
        DrawTextInBox(dc, text, kStatusLine, DT_SINGLELINE | DT_VCENTER);
}

void DrawUnplugNotice(HDC dc, HFONT font, const std::wstring& text)
{
    SelectObjectScope select(dc, font);
    ::SetTextColor(dc, kUnplugColour);
    DrawTextInBox(dc, text, kUnplugBox, DT_WORDBREAK | DT_VCENTER);
}

} // namespace plug
