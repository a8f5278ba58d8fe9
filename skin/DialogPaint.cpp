#include "DialogPaint.h"

#include "framework/Dialog.h"

namespace plug {

UniqueBitmap LoadBitmapResource(UINT id)
{
    return UniqueBitmap(static_cast<HBITMAP>(
        ::LoadImageW(CDialog::ResourceModule(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP info = {};
    if (!bitmap || !::GetObjectW(bitmap, sizeof(info), &info))
        return SIZE{0, 0};
    return SIZE{info.bmWidth, info.bmHeight};
}

UniqueFont CreateDialogFont(int height, int weight)
{
    return UniqueFont(::CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH, L"MS Sans Serif"));
}

void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y)
{
    SIZE size = BitmapSize(bitmap);
    DrawBitmap(dc, bitmap, x, y, size.cx, size.cy);
}

void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y, int width, int height)
{
    SIZE size = BitmapSize(bitmap);
    width = width < size.cx ? width : size.cx;
    height = height < size.cy ? height : size.cy;
    if (width <= 0 || height <= 0)
        return;
    UniqueMemoryDC memory(::CreateCompatibleDC(dc));
    if (!memory)
        return;
    SelectObjectScope select(memory.Get(), bitmap);
    ::BitBlt(dc, x, y, width, height, memory.Get(), 0, 0, SRCCOPY);
}

SIZE TextExtent(HDC dc, const std::wstring& text)
{
    SIZE extent = {};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    return extent;
}

SIZE TextExtentIn(HDC dc, HFONT font, const std::wstring& text)
{
    SelectObjectScope select(dc, font);
    return TextExtent(dc, text);
}

namespace {

TextDrawWatcher g_textDrawWatcher = nullptr;

} // namespace

void SetTextDrawWatcher(TextDrawWatcher watcher) { g_textDrawWatcher = watcher; }

void DrawTextInBox(HDC dc, const std::wstring& text, RECT box, UINT format)
{
    if (g_textDrawWatcher)
        g_textDrawWatcher(dc, text, box, format);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, format);
}

void SizeToBitmapAndCentre(HWND window, HBITMAP bitmap)
{
    SIZE size = BitmapSize(bitmap);
    if (size.cx <= 0 || size.cy <= 0)
        return;
    RECT work = {};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        work = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    int left = work.left + ((work.right - work.left) - size.cx) / 2;
    int top = work.top + ((work.bottom - work.top) - size.cy) / 2;
    ::SetWindowPos(window, nullptr, left, top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace plug
