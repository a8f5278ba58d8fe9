// A windowless program for the tests of the wait for a program's whole work: a link of a chain
// of processes, as a setup that starts its installer and exits is. Started as
//   ProcessChain.exe leaf START_FILE UNTIL END_FILE     marks START_FILE ("-": none), lives
//                                                       UNTIL, marks END_FILE, exits 7
//   ProcessChain.exe starter UNTIL EXIT_CODE NEXT...    starts ProcessChain.exe NEXT..., lives
//                                                       UNTIL, exits EXIT_CODE (1 when NEXT did
//                                                       not start)
//   ProcessChain.exe after FILE LINK...                 waits until FILE is there, then acts as
//                                                       the link LINK... describes
// UNTIL is a number of milliseconds, or a file: then the link lives until the test writes it (at
// most a minute, and no longer than the file's folder is there, so that a test leaves nothing
// running for long).
// A program without a console, as setups are: no console host joins its family.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <cwctype>
#include <string>

namespace {

constexpr DWORD kLongestWaitForFileMs = 60000;

void Mark(const wchar_t* file)
{
    if (std::wcscmp(file, L"-") == 0)
        return;
    HANDLE handle = ::CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle);
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Waits until file is there, at most a minute; not at all once its folder is gone: the test that
// made the folder has ended, and a link still running would hold the test's output open.
void WaitForFile(const wchar_t* file)
{
    const std::wstring path = file;
    const size_t separator = path.find_last_of(L"\\/");
    const std::wstring folder = separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
    for (DWORD waited = 0; waited < kLongestWaitForFileMs; waited += 10) {
        if (Exists(path) || (!folder.empty() && !Exists(folder)))
            return;
        ::Sleep(10);
    }
}

void LiveUntil(const wchar_t* until)
{
    if (*until != L'\0' && std::iswdigit(*until))
        ::Sleep(std::wcstoul(until, nullptr, 10));
    else
        WaitForFile(until);
}

// arguments[first] is "starter".
int Starter(int first, int count, wchar_t** arguments)
{
    wchar_t self[MAX_PATH * 2] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\"";
    for (int index = first + 3; index < count; ++index)
        commandLine += L" \"" + std::wstring(arguments[index]) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(self, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return 1;
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    LiveUntil(arguments[first + 1]);
    return std::wcstol(arguments[first + 2], nullptr, 10);
}

int Link(int first, int count, wchar_t** arguments)
{
    const int described = count - first;
    if (described == 4 && std::wcscmp(arguments[first], L"leaf") == 0) {
        Mark(arguments[first + 1]);
        LiveUntil(arguments[first + 2]);
        Mark(arguments[first + 3]);
        return 7;
    }
    if (described > 3 && std::wcscmp(arguments[first], L"starter") == 0)
        return Starter(first, count, arguments);
    if (described > 2 && std::wcscmp(arguments[first], L"after") == 0) {
        WaitForFile(arguments[first + 1]);
        return Link(first + 2, count, arguments);
    }
    return 2;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!arguments || count < 2)
        return 2;
    return Link(1, count, arguments);
}
