// How the main dialog looks: its background picture, the status line that follows the worker,
// the notice not to unplug the device and the busy animation. The dialog owns one MainDialogLook,
// creates it in InitControl, paints through it in OnEraseBkgnd and advances the animation on its
// timer; Paint draws into any DC. How its window and its Cancel button are set up is here too.
#pragma once

#include "BusyAnimation.h"
#include "MainDialogLayout.h"
#include "StatusText.h"
#include "framework/Handle.h"

#include <string>

class CSkinButton;

namespace plug {

// What the staging dialog draws alike over the same background: the colour of its title (the
// main dialog's status), and the notice not to unplug the device.
constexpr COLORREF kLightTextColour = RGB(225, 225, 225);
// The notice in font, dark red, wrapped in its box below the status.
void DrawUnplugNotice(HDC dc, HFONT font, const std::wstring& text);

class MainDialogLook {
public:
    // Fonts, background and animation pictures. FALSE when a font cannot be made.
    BOOL Create();

    // The size of the animation pictures (bitmap 148).
    SIZE AnimationSize() const { return m_animation.FrameSize(); }
    // One tick of the animation timer: the area to repaint (grown around the picture before the
    // first frame, when the dialog is painted for the first time) and *frame moved on.
    RECT NextAnimationArea(int* frame) const;

    // Background, status line, unplug notice and the picture of frame, in this order. *statusRect
    // receives the status box, which the worker invalidates when the status changes.
    void Paint(HDC dc, const StatusState& state, int frame, RECT* statusRect) const;

private:
    void PaintStatus(HDC dc, const std::wstring& text) const;

    UniqueFont m_smallFont;
    UniqueFont m_statusFont;
    UniqueBitmap m_background;
    BusyAnimation m_animation;
};

// The main window as it shows: with a system menu and a minimise box, the size of the background
// picture, centred on the screen, titled by the language file.
void DressMainWindow(HWND window);
// The main dialog's Cancel button: shown, skinned with the language file's text, at its place.
void SetUpMainCancelButton(CSkinButton& button);

// The status text that state chooses, looked up in the language file.
std::wstring StatusTextFor(const StatusState& state);

} // namespace plug
