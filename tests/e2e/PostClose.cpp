// PostClose.exe WINDOW-HEX ok|close|sysclose: posts a running instance's main window one of the
// messages that another process can send to end a dialog: WM_COMMAND with IDOK (as the OK
// button's click), WM_CLOSE, or WM_SYSCOMMAND with SC_CLOSE (the system menu's Close). Then it
// waits up to 5 s and tells whether the window was still there. Exit code: 0 when the window
// outlived the message, 1 when it went, 2 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::printf("usage: PostClose WINDOW-HEX ok|close|sysclose\n");
        return 2;
    }
    HWND target = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::wcstoull(argv[1], nullptr, 16)));
    UINT message = 0;
    WPARAM wParam = 0;
    if (std::wcscmp(argv[2], L"ok") == 0) {
        message = WM_COMMAND;
        wParam = MAKEWPARAM(IDOK, BN_CLICKED);
    } else if (std::wcscmp(argv[2], L"close") == 0) {
        message = WM_CLOSE;
    } else if (std::wcscmp(argv[2], L"sysclose") == 0) {
        message = WM_SYSCOMMAND;
        wParam = SC_CLOSE;
    } else {
        std::printf("unknown message %ls\n", argv[2]);
        return 2;
    }
    if (!::IsWindow(target)) {
        std::printf("no window %p\n", static_cast<void*>(target));
        return 2;
    }
    BOOL posted = ::PostMessageW(target, message, wParam, 0);
    // Long enough for the window to have handled the message and, had it ended, to be gone.
    bool alive = true;
    for (int i = 0; i < 50 && alive; ++i) {
        ::Sleep(100);
        alive = ::IsWindow(target) != FALSE;
    }
    std::printf("posted=%d\talive=%d\t%ls\n", posted ? 1 : 0, alive ? 1 : 0, argv[2]);
    return alive ? 0 : 1;
}
