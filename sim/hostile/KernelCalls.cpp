#include "KernelCalls.h"

#include <windows.h>

#include <cstdint>

namespace hostile {

namespace {

// Linux's call numbers and the mode of a FIFO.
#if defined(__x86_64__)
constexpr intptr_t kSymlink = 88;
constexpr intptr_t kMknod = 133;
#elif defined(__i386__)
constexpr intptr_t kSymlink = 83;
constexpr intptr_t kMknod = 14;
#endif
constexpr intptr_t kFifoMode = 010644;
constexpr long kNoCall = -38;

long KernelCall(intptr_t number, const void* first, intptr_t second)
{
#if defined(__x86_64__)
    intptr_t result;
    register intptr_t third __asm__("rdx") = 0;
    __asm__ volatile("syscall"
                     : "=a"(result)
                     : "a"(number), "D"(first), "S"(second), "r"(third)
                     : "rcx", "r11", "memory");
    return static_cast<long>(result);
#elif defined(__i386__)
    intptr_t result;
    __asm__ volatile("int $0x80" : "=a"(result) : "a"(number), "b"(first), "c"(second), "d"(0) : "memory");
    return static_cast<long>(result);
#else
    (void)number, (void)first, (void)second;
    return kNoCall;
#endif
}

} // namespace

std::string HostPathOf(const std::wstring& windowsPath)
{
    using UnixFileName = char*(CDECL*)(const wchar_t*);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    auto unixFileName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "wine_get_unix_file_name")));
    char* path = unixFileName ? unixFileName(windowsPath.c_str()) : nullptr;
    if (!path)
        return std::string();
    std::string hostPath(path);
    ::HeapFree(::GetProcessHeap(), 0, path);
    return hostPath;
}

long MakeHostLink(const std::string& hostPath, const std::string& target)
{
    return KernelCall(kSymlink, target.c_str(), reinterpret_cast<intptr_t>(hostPath.c_str()));
}

long MakeHostFifo(const std::string& hostPath) { return KernelCall(kMknod, hostPath.c_str(), kFifoMode); }

} // namespace hostile
