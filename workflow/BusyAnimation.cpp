#include "BusyAnimation.h"

#include "StatusText.h"
#include "skin/DialogPaint.h"

namespace plug {

BOOL BusyAnimation::Load()
{
    BOOL complete = TRUE;
    for (int frame = 0; frame < 7; ++frame) {
        m_pictures[frame] = LoadBitmapResource(AnimationFrameBitmap(frame));
        complete = complete && m_pictures[frame].IsValid();
    }
    return complete;
}

SIZE BusyAnimation::FrameSize() const { return BitmapSize(m_pictures[0].Get()); }

int BusyAnimation::PictureIndex(int frame) { return frame >= 1 && frame <= 6 ? frame : 0; }

void BusyAnimation::Draw(HDC dc, int x, int y, int frame, int width, int height) const
{
    DrawBitmap(dc, m_pictures[PictureIndex(frame)].Get(), x, y, width, height);
}

} // namespace plug
