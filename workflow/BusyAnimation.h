// The busy animation of the main and staging dialogs: seven pictures shown as eight frames.
#pragma once

#include "framework/Handle.h"

namespace plug {

class BusyAnimation {
public:
    // Loads the pictures; FALSE when one is missing (a missing picture is not drawn).
    BOOL Load();
    // The size of the first picture (bitmap 148), which all share.
    SIZE FrameSize() const;
    // Draws the picture of frame (0..7; -1 shows the first) at (x, y), at most width x height of it.
    void Draw(HDC dc, int x, int y, int frame, int width, int height) const;

private:
    static int PictureIndex(int frame);

    UniqueBitmap m_pictures[7]; // by frame 0..6; frame 7 shows picture 0 again
};

} // namespace plug
