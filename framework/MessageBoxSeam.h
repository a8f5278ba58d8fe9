// Every message box of the program goes through ShowMessageBox, so that tests can record the
// boxes and answer them at once instead of waiting for a user.
#pragma once

#include <windows.h>

#include <string>

namespace plug {

using MessageBoxHandler = int (*)(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style);

// Shows a modal message box (MessageBoxW unless a handler is installed) and returns the button pressed.
int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style);

// Installs handler in place of MessageBoxW; nullptr restores MessageBoxW. Returns the previous handler.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

} // namespace plug
