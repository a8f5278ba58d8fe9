#include "SystemInfo.h"

#include "VersionClass.h"

namespace plug {

namespace {
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
// The address found by the last IsWow64 call.
IsWow64ProcessFn g_isWow64Process = nullptr;
} // namespace

int GetWindowsVersionClass()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info); // 148 bytes: the ANSI structure
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExA(&info))
        info = OSVERSIONINFOA{}; // a failed query is classified as reported: all zero
#pragma GCC diagnostic pop
    return VersionClassFor(info.dwMajorVersion, info.dwMinorVersion, info.szCSDVersion);
}

BOOL IsVistaOS() { return IsVistaClass(GetWindowsVersionClass()) ? TRUE : FALSE; }

int IsWow64()
{
    HMODULE kernel = ::GetModuleHandleW(L"kernel32");
    g_isWow64Process = kernel ? reinterpret_cast<IsWow64ProcessFn>(
                                    reinterpret_cast<void*>(::GetProcAddress(kernel, "IsWow64Process")))
                              : nullptr;
    if (!g_isWow64Process)
        return 0;
    BOOL wow64 = FALSE;
    if (!g_isWow64Process(::GetCurrentProcess(), &wow64))
        return -1;
    return wow64 ? 1 : 0;
}

} // namespace plug
