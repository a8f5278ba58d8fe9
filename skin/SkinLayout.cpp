#include "SkinLayout.h"

namespace plug {

SkinFit FitSkinStrip(int stripWidth, int stripHeight, int frameCount)
{
    SkinFit fit;
    if (stripWidth <= 0 || stripHeight <= 0 || frameCount < 1)
        return fit;
    int frameWidth = stripWidth / frameCount;
    if (frameWidth == 0)
        return fit;
    fit.fitted = true;
    fit.frameWidth = frameWidth;
    fit.frameHeight = stripHeight;
    return fit;
}

SkinFrameChoice ChooseSkinFrame(bool selected, bool disabled, bool focused, bool hover, bool focusFlag)
{
    SkinFrameChoice choice;
    if (selected) {
        choice.frame = kSkinFramePressed;
        choice.focusBeforeFrame = focusFlag;
    } else if (disabled) {
        choice.frame = kSkinFrameDisabled;
    } else if (hover) {
        choice.frame = kSkinFrameHover;
    }
    choice.focusAfterFrame = focused && focusFlag;
    return choice;
}

SkinRect PlaceSkinCaption(SkinRect area, int captionWidth, int colourIndex)
{
    int width = area.right - area.left;
    if (width >= captionWidth)
        area.left += (width - captionWidth) / 2;
    if (colourIndex == kSkinFrameHover) {
        area.left -= 1;
        area.top -= 1;
    }
    return area;
}

} // namespace plug
