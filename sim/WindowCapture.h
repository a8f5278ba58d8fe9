// A picture of a dialog as the program painted it: its client area, read back from the window's
// own device context right after a full repaint, written as a 24-bit BMP file. Test and demo
// builds only.
#pragma once

#include <windows.h>

#include <string>

namespace sim {

// Writes the client area of window to path; false when it cannot be read or written.
bool CaptureClientArea(HWND window, const std::wstring& path);

} // namespace sim
