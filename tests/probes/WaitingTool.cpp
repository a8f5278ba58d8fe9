// Stands in for a repair tool that does not end by itself: it runs until the test sets the
// event "PlugstartTest.ReleaseWaitingTool" (a minute at most, so that it never outlives a run).
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    HANDLE release = ::OpenEventW(SYNCHRONIZE, FALSE, L"PlugstartTest.ReleaseWaitingTool");
    if (release) {
        ::WaitForSingleObject(release, 60000);
        ::CloseHandle(release);
    }
    return 0;
}
