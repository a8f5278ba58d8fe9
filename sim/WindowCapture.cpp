#include "WindowCapture.h"

#include "framework/Handle.h"

#include <vector>

namespace sim {

namespace {

bool WriteBytes(const std::wstring& path, const std::vector<BYTE>& bytes)
{
    plug::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

template <typename T>
void Append(std::vector<BYTE>& bytes, const T& value)
{
    const BYTE* from = reinterpret_cast<const BYTE*>(&value);
    bytes.insert(bytes.end(), from, from + sizeof(value));
}

} // namespace

bool CaptureClientArea(HWND window, const std::wstring& path)
{
    RECT client = {};
    ::GetClientRect(window, &client);
    const LONG width = client.right - client.left;
    const LONG height = client.bottom - client.top;
    if (width <= 0 || height <= 0)
        return false;
    plug::WindowDC screen(window);
    plug::UniqueMemoryDC memory(::CreateCompatibleDC(screen.Get()));
    if (!screen.Get() || !memory)
        return false;

    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height; // bottom-up, as a BMP file holds its rows
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    void* bits = nullptr;
    plug::UniqueBitmap picture(
        ::CreateDIBSection(screen.Get(), reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!picture || !bits)
        return false;
    {
        plug::SelectObjectScope select(memory.Get(), picture.Get());
        if (!::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), 0, 0, SRCCOPY))
            return false;
    }
    ::GdiFlush();

    const DWORD rowBytes = ((width * 3 + 3) / 4) * 4;
    const DWORD pixelBytes = rowBytes * height;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + pixelBytes;
    std::vector<BYTE> bytes;
    Append(bytes, file);
    Append(bytes, header);
    const BYTE* pixels = static_cast<const BYTE*>(bits);
    bytes.insert(bytes.end(), pixels, pixels + pixelBytes);
    return WriteBytes(path, bytes);
}

} // namespace sim
