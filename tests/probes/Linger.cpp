// A program that never finishes in time: it sleeps 8 s whatever it is given. Tests name it
// where the program expects a tool, to see that the wait for that tool is bounded.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    ::Sleep(8000);
    return 0;
}
