// CSkinButton: the button of every dialog of the program. Its face is one frame of a horizontal
// strip of four frames in a bitmap resource (normal, hover, pressed, disabled), drawn with
// RGB(255, 0, 255) as the transparent colour, with the caption drawn over it in a colour that
// follows the frame. A dialog binds it to a button of its template, then sets it up.
#pragma once

#include "framework/BitmapButton.h"
#include "framework/Handle.h"

#include <string>

class CSkinButton : public CBitmapButton {
public:
    CSkinButton() = default;
    ~CSkinButton() override;

    // Attaches the strip bitmapId of the resource module and sizes the button to one of its
    // frameCount frames, keeping its top-left corner. FALSE when the bitmap cannot be loaded or
    // does not split into frames; the button then draws only its caption.
    BOOL LoadSkin(WORD bitmapId, BYTE focusFlag, int frameCount);
    // Adds WS_EX_TRANSPARENT.
    void SetTransparentStyle();
    // Makes the caption font (owned by the button) and sets it as the window's font.
    void SetTextFont(int width, int height, int weight, const std::wstring& faceName);
    // Caption colours of the normal, pressed, hover and disabled frames, in this order.
    void SetTextColors(COLORREF normal, COLORREF pressed, COLORREF hover, COLORREF disabled);
    void SetCaption(const std::wstring& text);
    // From now on every paint shows frame and the caption in colour index colourIndex, whatever
    // the state; draws them at once.
    void SetFixedState(int frame, int colourIndex);

    int FrameWidth() const { return m_nFrameWidth; }
    int FrameHeight() const { return m_nFrameHeight; }
    BOOL IsHovering() const { return m_bHover; }

    void DrawItem(LPDRAWITEMSTRUCT drawItem) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    BOOL FitToStrip(int frameCount);
    void DrawFrame(HDC dc, int frame) const;
    void DrawCaption(HDC dc, int colourIndex) const;

    BYTE m_bFixedState = 0;
    int m_nFixedFrame = 0;
    int m_nFixedColour = 0;
    BYTE m_bFocusFlag = 1;
    BYTE m_bSkinLoaded = 0;
    int m_nFrameWidth = 0;
    int m_nFrameHeight = 0;
    COLORREF m_crNormal = RGB(255, 255, 255);
    COLORREF m_crPressed = RGB(255, 255, 255);
    COLORREF m_crHover = RGB(255, 255, 255);
    COLORREF m_crDisabled = RGB(212, 212, 212);
    BYTE m_bHover = 0;
    plug::UniqueFont m_font;
    plug::UniqueBitmap m_strip;
    std::wstring m_strCaption;
    COLORREF m_crBackground = RGB(0, 0, 0);
    plug::UniqueBrush m_brush; // the last brush answered to a reflected control-colour message
};

namespace plug {

// The set-up every dialog of the program gives its text buttons: strip bitmapId with four frames
// and no focus rectangles, "MS Sans Serif" 12 pixels, black captions (light grey when disabled).
BOOL SetUpDialogButton(CSkinButton& button, WORD bitmapId, const std::wstring& caption);

} // namespace plug
