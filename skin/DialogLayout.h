// Places in a skinned dialog, in client pixels, for the layout tables of the dialogs: each dialog
// keeps where its texts, pictures and buttons go in one table, which its painting, its set-up
// and the tests read. Portable: no Windows headers.
#pragma once

namespace plug {

// A box: from (left, top) up to, not including, (right, bottom).
struct LayoutBox {
    int left;
    int top;
    int right;
    int bottom;

    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
};

// A point: where a picture or a button's top-left corner goes.
struct LayoutPoint {
    int x;
    int y;
};

} // namespace plug
