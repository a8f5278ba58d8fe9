// The decisions of the skinned button that need no window: how a strip splits into frames, which
// frame a state shows, and where the caption goes. Portable: no Windows headers.
#pragma once

namespace plug {

// Frames of a skin strip, left to right; a frame index is also the caption's colour index.
enum SkinFrame {
    kSkinFrameNormal = 0,
    kSkinFrameHover = 1,
    kSkinFramePressed = 2,
    kSkinFrameDisabled = 3,
};

struct SkinFit {
    bool fitted = false; // false: nothing of the skin can be drawn
    int frameWidth = 0;
    int frameHeight = 0;
};

// Splits a strip of frameCount equally wide frames. A strip without width or height, a frame
// count below 1 or a strip narrower than its frame count fits nothing. Columns that remain after
// the integer division are never shown.
SkinFit FitSkinStrip(int stripWidth, int stripHeight, int frameCount);

// The first column of frame in the strip.
inline int SkinFrameSourceX(int frame, int frameWidth) { return frame * frameWidth; }

struct SkinFrameChoice {
    int frame = kSkinFrameNormal;
    bool focusBeforeFrame = false; // a focus rectangle drawn before the frame
    bool focusAfterFrame = false;  // a focus rectangle drawn after it
};

// What one paint of the button shows. Pressed wins over disabled, disabled over hover. Focus
// rectangles are drawn only when the button was set up with its focus flag.
SkinFrameChoice ChooseSkinFrame(bool selected, bool disabled, bool focused, bool hover, bool focusFlag);

struct SkinRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The rectangle the caption is drawn into (single line, centred vertically): centred horizontally
// when it fits, else from the left edge; moved one pixel up and left in the hover colour (1).
SkinRect PlaceSkinCaption(SkinRect area, int captionWidth, int colourIndex);

} // namespace plug
