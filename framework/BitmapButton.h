// CButton and CBitmapButton: owner-drawn push buttons. The parent dialog reflects WM_DRAWITEM
// (and the control-colour messages) back to the button, which draws itself in DrawItem.
#pragma once

#include "Wnd.h"

class CButton : public CWnd {
public:
    // Owner-drawn buttons draw themselves here; the base draws nothing.
    virtual void DrawItem(LPDRAWITEMSTRUCT drawItem);

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

// The base of the program's bitmap-skinned buttons: an owner-drawn push button whose derived
// class draws the face from its own bitmaps.
class CBitmapButton : public CButton {};
