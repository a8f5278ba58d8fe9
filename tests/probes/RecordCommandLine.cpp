// Stands for the program that the staging starts: records where it runs from, its command line
// and the folder it was started in (its current directory) in "relaunched.txt" beside itself
// (one line each, UTF-8), then ends.
#include <windows.h>

#include <string>

namespace {
std::string Utf8(const wchar_t* text)
{
    int length = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(length > 0 ? static_cast<size_t>(length - 1) : 0, '\0');
    if (length > 1)
        ::WideCharToMultiByte(CP_UTF8, 0, text, -1, &result[0], length, nullptr, nullptr);
    return result;
}
} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    wchar_t path[MAX_PATH * 2] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    wchar_t directory[MAX_PATH * 2] = {};
    ::GetCurrentDirectoryW(MAX_PATH * 2, directory);
    std::wstring record = path;
    record = record.substr(0, record.rfind(L'\\') + 1) + L"relaunched.txt";
    std::string text = Utf8(path) + "\n" + Utf8(::GetCommandLineW()) + "\n" + Utf8(directory) + "\n";
    HANDLE file = ::CreateFileW(record.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
    return 0;
}
