#include "LibrarySearch.h"

#include <windows.h>

namespace plug {

namespace {

// Not declared for the Windows versions this program is built for.
constexpr DWORD kSafeSearchMode = 0x00000001;      // BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE
constexpr DWORD kSearchModePermanent = 0x00008000; // BASE_SEARCH_PATH_PERMANENT

template <typename Function>
Function KernelFunction(const char* name)
{
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(kernel, name))) : nullptr;
}

} // namespace

void HardenLibrarySearch()
{
    // Windows XP SP1 and later: the DLL directory takes the current directory's place in the
    // search. It is the system folder, which is searched right after the program's folder anyway,
    // so only the current directory goes (an empty name would remove it on Windows, but not
    // under every implementation of the call). PATH and the Windows folder stay, as the
    // download-check library may be found there.
    using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);
    auto setDllDirectory = KernelFunction<SetDllDirectoryFunction>("SetDllDirectoryW");
    wchar_t system[MAX_PATH];
    UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (setDllDirectory && length > 0 && length < MAX_PATH)
        setDllDirectory(system);

    // Windows XP SP3, Vista SP2 and later: the search for other files takes the current
    // directory last, for good.
    using SetSearchPathModeFunction = BOOL(WINAPI*)(DWORD);
    auto setSearchPathMode = KernelFunction<SetSearchPathModeFunction>("SetSearchPathMode");
    if (setSearchPathMode)
        setSearchPathMode(kSafeSearchMode | kSearchModePermanent);
}

} // namespace plug
