// What the program's skinned dialogs share when they paint themselves: their bitmaps and fonts,
// owned by RAII, and drawing a bitmap or a text into any DC.
#pragma once

#include "DialogLayout.h"
#include "framework/Handle.h"

#include <string>

namespace plug {

// Bitmap id of the resource module (24 bits per pixel, kept exact); empty when it is missing.
UniqueBitmap LoadBitmapResource(UINT id);
// A box of a layout table as Windows takes it.
inline RECT ToRect(const LayoutBox& box) { return RECT{box.left, box.top, box.right, box.bottom}; }

// Width and height of bitmap; 0 x 0 for none.
SIZE BitmapSize(HBITMAP bitmap);

// "MS Sans Serif" of the given pixel height and weight: default character set, variable pitch.
UniqueFont CreateDialogFont(int height, int weight);

// Copies bitmap at its full size to (x, y) of dc.
void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y);
// Copies at most width x height of bitmap's top-left to (x, y): never more than the bitmap has.
void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y, int width, int height);

// The extent of text in the font selected into dc.
SIZE TextExtent(HDC dc, const std::wstring& text);
// The extent of text in font; dc keeps the font it had.
SIZE TextExtentIn(HDC dc, HFONT font, const std::wstring& text);
// Draws text into box of dc with the DrawText format. Every text of the dialogs is drawn here.
void DrawTextInBox(HDC dc, const std::wstring& text, RECT box, UINT format);

// Sees each text just before DrawTextInBox draws it: dc with the font the dialog chose, the text,
// its box and the DrawText format. The program sets none; the language sheet's demo measures
// every text with one, so that what it measures is what the dialogs' own layout drew.
using TextDrawWatcher = void (*)(HDC dc, const std::wstring& text, const RECT& box, UINT format);
void SetTextDrawWatcher(TextDrawWatcher watcher);

// Gives window the size of bitmap at (0, 0), then centres it on the screen.
void SizeToBitmapAndCentre(HWND window, HBITMAP bitmap);

} // namespace plug
