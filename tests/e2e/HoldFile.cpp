// HoldFile.exe PATH share|noshare READY STOP: holds a file open the way another program would,
// for the end-to-end faults: "noshare" as a program that locks it (no sharing at all), "share"
// as a virus scanner or an indexer reading it (read, write and delete sharing). It opens PATH
// for reading as soon as it can (the file may not exist yet: a scanner opens a staged file once
// it is there), at most 120 s; then creates the file READY and holds PATH until the file STOP
// exists (at most 10 minutes). Prints what it did. Exit code: 0 when it held the file, 1 when it
// could never open it, 2 on bad arguments.
#include "framework/Handle.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

constexpr DWORD kPollMs = 10;
constexpr DWORD kOpenLimitMs = 120000;
constexpr DWORD kHoldLimitMs = 600000;

bool Exists(const wchar_t* path) { return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

plug::UniqueFile OpenAsSoonAsPossible(const wchar_t* path, DWORD sharing)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        plug::UniqueFile file(
            ::CreateFileW(path, GENERIC_READ, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || ::GetTickCount() - start >= kOpenLimitMs)
            return file;
        ::Sleep(kPollMs);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 5 || (std::wcscmp(argv[2], L"share") != 0 && std::wcscmp(argv[2], L"noshare") != 0)) {
        std::printf("usage: HoldFile PATH share|noshare READY STOP\n");
        return 2;
    }
    const wchar_t* path = argv[1];
    DWORD sharing = std::wcscmp(argv[2], L"share") == 0 ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : 0;
    plug::UniqueFile file = OpenAsSoonAsPossible(path, sharing);
    if (!file) {
        std::printf("could not open %ls (error %lu)\n", path, ::GetLastError());
        return 1;
    }
    std::printf("holding %ls (%ls)\n", path, argv[2]);
    std::fflush(stdout);
    { // the file READY is the signal: made, and closed again at once
        plug::UniqueFile ready(
            ::CreateFileW(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    DWORD start = ::GetTickCount();
    while (!Exists(argv[4]) && ::GetTickCount() - start < kHoldLimitMs)
        ::Sleep(kPollMs);
    file.Reset();
    std::printf("released %ls\n", path);
    return 0;
}
