#include "MessageBoxSeam.h"

namespace plug {

namespace {
volatile MessageBoxHandler g_handler = nullptr;
}

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style)
{
    MessageBoxHandler handler = g_handler;
    if (handler)
        return handler(owner, text, caption, style);
    return ::MessageBoxW(owner, text.c_str(), caption.c_str(), style);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    MessageBoxHandler previous = g_handler;
    g_handler = handler;
    return previous;
}

} // namespace plug
