// Drawing one frame of a skin strip with RGB(255, 0, 255) as the transparent colour.
#pragma once

#include <windows.h>

namespace plug {

// The colour of a skin strip through which the window beneath shows.
constexpr COLORREF kSkinTransparentColour = RGB(255, 0, 255);

// Draws the width x height frame that starts at column sourceX of strip at (0, 0) of target.
// Pixels of exactly the transparent colour keep what target holds there; every other pixel is
// copied unchanged. Builds the result off screen and copies it to target in one step.
void DrawTransparentFrame(HDC target, HBITMAP strip, int sourceX, int width, int height);

} // namespace plug
