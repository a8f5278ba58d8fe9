// The language sheet's measure of the dialogs' texts. While measuring, every text that a dialog
// draws through DrawTextInBox is recorded as it is drawn: the font the dialog chose, the box its
// own layout gave the text, the room that box leaves inside the window drawn into, and the size
// the text needs there with the same DrawText format. Test and demo builds only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sim {

struct DrawnText {
    std::wstring text;
    int control = 0;        // the control id of the child window drawn into (a button); 0: the dialog
    RECT box = {};          // the box the dialog gave the text, in the dialog's client coordinates
    RECT room = {};         // that box cut to the window drawn into, in the same coordinates
    UINT format = 0;        // the DrawText format
    std::wstring face;      // the font face the dialog asked for
    std::wstring drawnFace; // the face the system drew with (the locale may give another)
    int fontHeight = 0;     // as asked for (pixels; negative: character height)
    int fontWeight = 0;
    SIZE needed = {};           // what the text takes: one line, or wrapped at the box's width
    bool missingGlyphs = false; // the font drawn with has no picture for some character

    bool TooWide() const { return needed.cx > room.right - room.left; }
    bool TooTall() const { return needed.cy > room.bottom - room.top; }
    bool Fits() const { return !TooWide() && !TooTall() && !missingGlyphs; }
};

// Records every text drawn from now on (forgetting what was recorded before).
void StartMeasuring();
// Stops recording; the texts recorded stay.
void StopMeasuring();
// The texts drawn while measuring, in the order they were first drawn; a text drawn twice into
// the same window (a caption and its shadow, a repaint) counts once.
std::vector<DrawnText> MeasuredTexts();

} // namespace sim
