// A windowless program for the tests of the wait for a program's whole work: a link of a chain
// of processes, as a setup that starts its installer and exits is. Started as
//   ProcessChain.exe leaf START_FILE MS END_FILE     marks START_FILE ("-": none), lives MS,
//                                                    marks END_FILE, exits 7
//   ProcessChain.exe starter MS EXIT_CODE NEXT...    starts ProcessChain.exe NEXT..., lives MS
//                                                    more, exits EXIT_CODE (1 when NEXT did not start)
// A program without a console, as setups are: no console host joins its family.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

void Mark(const wchar_t* file)
{
    if (std::wcscmp(file, L"-") == 0)
        return;
    HANDLE handle = ::CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle);
}

int Starter(int count, wchar_t** arguments)
{
    wchar_t self[MAX_PATH * 2] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\"";
    for (int index = 4; index < count; ++index)
        commandLine += L" \"" + std::wstring(arguments[index]) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(self, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return 1;
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    ::Sleep(std::wcstoul(arguments[2], nullptr, 10));
    return std::wcstol(arguments[3], nullptr, 10);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!arguments || count < 2)
        return 2;
    if (std::wcscmp(arguments[1], L"leaf") == 0 && count == 5) {
        Mark(arguments[2]);
        ::Sleep(std::wcstoul(arguments[3], nullptr, 10));
        Mark(arguments[4]);
        return 7;
    }
    if (std::wcscmp(arguments[1], L"starter") == 0 && count > 4)
        return Starter(count, arguments);
    return 2;
}
