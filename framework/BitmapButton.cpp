#include "BitmapButton.h"

#include "Dialog.h"

void CButton::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CButton::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result)
{
    if (message != WM_DRAWITEM)
        return FALSE;
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    *result = TRUE;
    return TRUE;
}

namespace {
HBITMAP LoadBitmapResource(UINT id)
{
    if (id == 0)
        return nullptr;
    return static_cast<HBITMAP>(::LoadImageW(CDialog::ResourceModule(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0,
                                             LR_CREATEDIBSECTION));
}
} // namespace

BOOL CBitmapButton::LoadBitmaps(UINT normalId, UINT selectedId, UINT focusId, UINT disabledId)
{
    m_bitmap.Attach(LoadBitmapResource(normalId));
    m_bitmapSel.Attach(LoadBitmapResource(selectedId));
    m_bitmapFocus.Attach(LoadBitmapResource(focusId));
    m_bitmapDisabled.Attach(LoadBitmapResource(disabledId));
    return m_bitmap.IsValid();
}

void CBitmapButton::SizeToContent()
{
    BITMAP info = {};
    if (!m_bitmap || !::GetObjectW(m_bitmap.Get(), sizeof(info), &info))
        return;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, info.bmWidth, info.bmHeight,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CBitmapButton::DrawItem(LPDRAWITEMSTRUCT drawItem)
{
    HBITMAP face = m_bitmap.Get();
    if ((drawItem->itemState & ODS_SELECTED) && m_bitmapSel)
        face = m_bitmapSel.Get();
    else if ((drawItem->itemState & ODS_FOCUS) && m_bitmapFocus)
        face = m_bitmapFocus.Get();
    else if ((drawItem->itemState & ODS_DISABLED) && m_bitmapDisabled)
        face = m_bitmapDisabled.Get();
    if (!face)
        return;
    plug::UniqueMemoryDC memory(::CreateCompatibleDC(drawItem->hDC));
    if (!memory)
        return;
    plug::SelectObjectScope select(memory.Get(), face);
    const RECT& area = drawItem->rcItem;
    ::BitBlt(drawItem->hDC, area.left, area.top, area.right - area.left, area.bottom - area.top, memory.Get(), 0, 0,
             SRCCOPY);
}
