// Prints the Windows version class and the Vista test as this process sees them. The tests
// run copies of it under names that the Wine prefix maps to other Windows versions.
#include "app/SystemInfo.h"

#include <cstdio>

int main()
{
    std::printf("%d %d %d\n", plug::GetWindowsVersionClass(), plug::IsVistaOS() ? 1 : 0, plug::IsWow64());
    return 0;
}
