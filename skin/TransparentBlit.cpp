#include "TransparentBlit.h"

#include "framework/Handle.h"

namespace plug {

namespace {

// A memory DC compatible with target with its own bitmap selected into it for its lifetime.
class OffscreenBitmap {
public:
    OffscreenBitmap(HDC target, HBITMAP bitmap)
        : m_dc(::CreateCompatibleDC(target)), m_bitmap(bitmap), m_select(m_dc.Get(), m_bitmap.Get())
    {
    }
    HDC Dc() const { return m_dc.Get(); }
    bool IsValid() const { return m_dc && m_bitmap; }

private:
    UniqueMemoryDC m_dc;
    UniqueBitmap m_bitmap;
    SelectObjectScope m_select; // restored before the bitmap and the DC go
};

} // namespace

void DrawTransparentFrame(HDC target, HBITMAP strip, int sourceX, int width, int height)
{
    if (!target || !strip || width <= 0 || height <= 0)
        return;
    UniqueMemoryDC stripDc(::CreateCompatibleDC(target));
    if (!stripDc)
        return;
    SelectObjectScope selectStrip(stripDc.Get(), strip);

    OffscreenBitmap face(target, ::CreateCompatibleBitmap(target, width, height));
    OffscreenBitmap mask(target, ::CreateBitmap(width, height, 1, 1, nullptr));
    OffscreenBitmap result(target, ::CreateCompatibleBitmap(target, width, height));
    if (!face.IsValid() || !mask.IsValid() || !result.IsValid())
        return;

    // The frame, and a mask that is 1 where the frame is transparent.
    ::BitBlt(face.Dc(), 0, 0, width, height, stripDc.Get(), sourceX, 0, SRCCOPY);
    ::SetBkColor(face.Dc(), kSkinTransparentColour);
    ::BitBlt(mask.Dc(), 0, 0, width, height, face.Dc(), 0, 0, SRCCOPY);
    // Transparent pixels of the frame become black.
    ::SetBkColor(face.Dc(), RGB(0, 0, 0));
    ::SetTextColor(face.Dc(), RGB(255, 255, 255));
    ::BitBlt(face.Dc(), 0, 0, width, height, mask.Dc(), 0, 0, SRCAND);
    // What target holds, kept only where the frame is transparent, then the frame over it.
    ::SetBkColor(result.Dc(), RGB(255, 255, 255));
    ::SetTextColor(result.Dc(), RGB(0, 0, 0));
    ::BitBlt(result.Dc(), 0, 0, width, height, target, 0, 0, SRCCOPY);
    ::BitBlt(result.Dc(), 0, 0, width, height, mask.Dc(), 0, 0, SRCAND);
    ::BitBlt(result.Dc(), 0, 0, width, height, face.Dc(), 0, 0, SRCPAINT);
    ::BitBlt(target, 0, 0, width, height, result.Dc(), 0, 0, SRCCOPY);
}

} // namespace plug
