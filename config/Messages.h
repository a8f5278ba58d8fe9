// The message-box convention: text and caption come from the language file.
#pragma once

#include <windows.h>

#include <string>

namespace plug {

// A box with the language string of key as text and "STR_STRING_TITLE" as caption.
int ShowLanguageMessage(HWND owner, const std::wstring& key, UINT style);

// A box with text as given and "STR_STRING_TITLE" as caption.
int ShowTitledMessage(HWND owner, const std::wstring& text, UINT style);

} // namespace plug
