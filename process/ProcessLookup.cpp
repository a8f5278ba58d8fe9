#include "ProcessLookup.h"

#include "framework/Handle.h"
#include "framework/StringFormat.h"

#include <string>

namespace plug {

namespace {

using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
using GetModuleFileNameExAFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);

constexpr DWORD kProcessIdBytes = 8192; // 2048 process identifiers
constexpr DWORD kModuleBytes = 4096;
constexpr DWORD kAnsiPathBytes = 520;
constexpr size_t kWidePathChars = 260;

void DebugLine(const std::wstring& text) { ::OutputDebugStringW(text.c_str()); }

template <typename Fn>
Fn LookUp(HMODULE library, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

// A library of Windows, by its full path in the system folder: never one of that name that lies
// in the program's folder (the staging folder, which any program of the user can write to).
HMODULE LoadSystemLibrary(const wchar_t* name)
{
    wchar_t system[MAX_PATH];
    UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    return ::LoadLibraryW((std::wstring(system, length) + L"\\" + name).c_str());
}

// The process-status entry points, from the libraries loaded for this one lookup.
struct ProcessStatusApi {
    UniqueModule psapi;
    UniqueModule ntdll;
    EnumProcessesFn enumProcesses = nullptr;
    EnumProcessModulesFn enumProcessModules = nullptr;
    GetModuleFileNameExAFn getModuleFileNameExA = nullptr;

    // Loads both libraries; false (with both freed) when one of them or an entry point is missing.
    bool Load()
    {
        psapi.Attach(LoadSystemLibrary(L"PSAPI.DLL"));
        ntdll.Attach(LoadSystemLibrary(L"NTDLL.DLL"));
        if (!psapi || !ntdll)
            return Unload();
        enumProcesses = LookUp<EnumProcessesFn>(psapi.Get(), "EnumProcesses");
        enumProcessModules = LookUp<EnumProcessModulesFn>(psapi.Get(), "EnumProcessModules");
        getModuleFileNameExA = LookUp<GetModuleFileNameExAFn>(psapi.Get(), "GetModuleFileNameExA");
        // Present on every system that can be searched; asked for but never called.
        bool presenceTests = ::GetProcAddress(ntdll.Get(), "NtQueryInformationProcess") &&
                             ::GetProcAddress(psapi.Get(), "GetProcessMemoryInfo");
        if (!enumProcesses || !enumProcessModules || !getModuleFileNameExA || !presenceTests)
            return Unload();
        return true;
    }
    bool Unload()
    {
        psapi.Reset();
        ntdll.Reset();
        return false;
    }
};

bool IsNtPlatform()
{
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(&info))
        return false;
#pragma GCC diagnostic pop
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// The path of the executable of process processId, in the ANSI code page converted to UTF-16
// (at most 260 characters); empty when the process cannot be opened or its path not read.
std::wstring ExecutablePath(const ProcessStatusApi& api, DWORD processId)
{
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process) {
        DebugLine(L"\t\t\t\t\t\t\t\t\t continue (OpenProcess return Failed) \n");
        return std::wstring();
    }
    // The first module is the executable; should the list not be read, the empty handle names
    // the executable as well.
    HMODULE modules[kModuleBytes / sizeof(HMODULE)] = {};
    DWORD needed = 0;
    api.enumProcessModules(process.Get(), modules, kModuleBytes, &needed);
    char ansiPath[kAnsiPathBytes] = {};
    DWORD length = api.getModuleFileNameExA(process.Get(), modules[0], ansiPath, kAnsiPathBytes);
    if (length == 0)
        return std::wstring();
    if (length >= kAnsiPathBytes)
        length = kAnsiPathBytes - 1;
    std::wstring path = AnsiToWide(std::string(ansiPath, length));
    if (path.size() > kWidePathChars)
        path.resize(kWidePathChars);
    return path;
}

} // namespace

BOOL TechFindProcess(LPCWSTR sProcessName)
{
    std::wstring argument = sProcessName ? sProcessName : L"";
    DebugLine(FormatString(L"TechFindProcess(LPCTSTR sProcessName = %ls) called \n", argument.c_str()));
    std::wstring searchText = ToLower(argument);

    if (!IsNtPlatform())
        return FALSE;
    DebugLine(L"\t\t\t VER_PLATFORM_WIN32_NT \n");

    ProcessStatusApi api;
    if (!api.Load())
        return FALSE;

    DWORD processIds[kProcessIdBytes / sizeof(DWORD)] = {};
    DWORD returnedBytes = 0;
    BOOL enumerated = api.enumProcesses(processIds, kProcessIdBytes, &returnedBytes);
    DWORD processCount = enumerated
                             ? (returnedBytes < kProcessIdBytes ? returnedBytes : kProcessIdBytes) / sizeof(DWORD)
                             : 0;
    DebugLine(FormatString(L"\t\t\t\t\t\t res = %d \n", enumerated));
    DebugLine(FormatString(L"\t\t\t\t\t\t pnum = %d \n", static_cast<int>(processCount)));

    for (DWORD index = 0; index < processCount; ++index) {
        std::wstring path = ExecutablePath(api, processIds[index]);
        if (path.empty())
            continue;
        DebugLine(FormatString(L"\t\t\t\t\t\t\t\t\t strUExeName = %ls, sInProcess = %ls \n", path.c_str(),
                               searchText.c_str()));
        if (ToLower(path).find(searchText) != std::wstring::npos) {
            DebugLine(L"\t\t\t\t\t\t\t\t\t return TRUE \n");
            return TRUE;
        }
    }
    DebugLine(L"\t\t\t return FALSE \n");
    return FALSE;
}

} // namespace plug
