// CButton and CBitmapButton: an owner-drawn push button whose faces come from bitmaps. The
// parent dialog reflects WM_DRAWITEM back to the button, which draws itself in DrawItem.
#pragma once

#include "Handle.h"
#include "Wnd.h"

class CButton : public CWnd {
public:
    // Owner-drawn buttons draw themselves here; the base draws nothing.
    virtual void DrawItem(LPDRAWITEMSTRUCT drawItem);

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

class CBitmapButton : public CButton {
public:
    // Loads the faces for the normal, selected, focused and disabled states (0 = none).
    BOOL LoadBitmaps(UINT normalId, UINT selectedId = 0, UINT focusId = 0, UINT disabledId = 0);
    // Sizes the button to its normal face.
    void SizeToContent();

    void DrawItem(LPDRAWITEMSTRUCT drawItem) override;

protected:
    plug::UniqueBitmap m_bitmap;
    plug::UniqueBitmap m_bitmapSel;
    plug::UniqueBitmap m_bitmapFocus;
    plug::UniqueBitmap m_bitmapDisabled;
};
