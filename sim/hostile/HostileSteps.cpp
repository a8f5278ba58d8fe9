#include "HostileSteps.h"

#include "KernelCalls.h"

#include "framework/Handle.h"
#include "framework/StringFormat.h"

#include <windows.h>

namespace hostile {

const wchar_t kAccountFolder[] = L"C:\\hostile";

namespace {

constexpr DWORD kMostRead = 64 * 1024;
constexpr DWORD kWindowShownMs = 2000;
constexpr size_t kMostListed = 40;

std::wstring Failed(const std::wstring& what)
{
    return what + L": refused (error " + std::to_wstring(::GetLastError()) + L")";
}

bool AppendBytes(const std::wstring& path, const std::string& bytes)
{
    const DWORD everyone = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    plug::UniqueFile file(
        ::CreateFileW(path.c_str(), FILE_APPEND_DATA, everyone, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::wstring ReadStep(const std::wstring& path)
{
    plug::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return Failed(L"read " + path);
    std::string bytes(kMostRead, '\0');
    DWORD read = 0;
    if (!::ReadFile(file.Get(), &bytes[0], kMostRead, &read, nullptr))
        return Failed(L"read " + path);
    bytes.resize(read);
    // What it read leaves by every way a program has: a copy on C:, and a box that the run records.
    ::CreateDirectoryW(kAccountFolder, nullptr);
    AppendBytes(std::wstring(kAccountFolder) + L"\\loot.txt", bytes);
    std::wstring text = plug::Utf8ToWide(bytes);
    ::MessageBoxW(nullptr, text.c_str(), (L"Read from " + path).c_str(), MB_OK);
    return L"read " + path + L": got " + std::to_wstring(read) + L" bytes: " + text.substr(0, 200);
}

std::wstring WriteStep(const std::wstring& path, const std::wstring& text)
{
    std::string bytes = plug::ToUtf8(text);
    if (!AppendBytes(path, bytes))
        return Failed(L"write " + path);
    return L"write " + path + L": wrote " + std::to_wstring(bytes.size()) + L" bytes";
}

std::wstring ListStep(const std::wstring& folder)
{
    WIN32_FIND_DATAW found = {};
    HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return Failed(L"list " + folder);
    std::wstring names;
    size_t count = 0;
    do {
        if (++count <= kMostListed)
            names += std::wstring(names.empty() ? L"" : L" ") + found.cFileName;
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return L"list " + folder + L": " + std::to_wstring(count) + L" entries: " + names;
}

std::wstring WindowStep(const std::wstring& title)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"PlugHostileWindow";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowW(windowClass.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                                  420, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window)
        return Failed(L"window");
    DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < kWindowShownMs) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&message);
        ::Sleep(20);
    }
    ::DestroyWindow(window);
    return L"window shown for " + std::to_wstring(kWindowShownMs) + L" ms";
}

bool ReadSmall(const std::wstring& path, std::string* bytes)
{
    plug::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    char buffer[4096];
    DWORD read = 0;
    if (!file || !::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr))
        return false;
    bytes->assign(buffer, read);
    return true;
}

// Looks through the host's process folders (as the PC sees them) for the processes whose command
// line holds program, and writes text into their standard input and output, as a program that
// wants to speak for another would.
std::wstring ForgeStreamsStep(const std::wstring& program, const std::wstring& text)
{
    const std::wstring proc = L"\\\\?\\unix\\proc";
    WIN32_FIND_DATAW found = {};
    HANDLE search = ::FindFirstFileW((proc + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return Failed(L"forge-streams " + program);
    std::string bytes = plug::ToUtf8(text);
    std::string wanted = plug::ToUtf8(program);
    std::wstring outcome;
    do {
        std::wstring pid = found.cFileName;
        std::string commandLine;
        if (pid.find_first_not_of(L"0123456789") != std::wstring::npos ||
            !ReadSmall(proc + L"\\" + pid + L"\\cmdline", &commandLine) ||
            commandLine.find(wanted) == std::string::npos)
            continue;
        for (const wchar_t* stream : {L"0", L"1"}) {
            std::wstring path = proc + L"\\" + pid + L"\\fd\\" + stream;
            plug::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD written = 0;
            bool wrote = file &&
                         ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            outcome += L" " + pid + L"/" + stream +
                       (wrote ? std::wstring(L" written")
                              : L" refused (error " + std::to_wstring(::GetLastError()) + L")");
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return L"forge-streams " + program + L":" + (outcome.empty() ? std::wstring(L" no such process") : outcome);
}

std::wstring BoxStep(const std::wstring& caption, const std::wstring& text)
{
    int answer = ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OKCANCEL);
    return L"box answered " + std::to_wstring(answer);
}

std::wstring Argument(const Step& step, size_t index)
{
    return index < step.arguments.size() ? step.arguments[index] : std::wstring();
}

// Puts a symbolic link to target (a host path) or a FIFO at a Windows path, in the place of what
// stood there (its folder made when missing).
std::wstring PlantStep(const std::wstring& kind, const std::wstring& path, const std::wstring& target)
{
    const size_t lastSeparator = path.find_last_of(L'\\');
    if (lastSeparator != std::wstring::npos)
        ::CreateDirectoryW(path.substr(0, lastSeparator).c_str(), nullptr);
    const std::string hostPath = HostPathOf(path);
    if (hostPath.empty())
        return Failed(L"plant " + kind + L" " + path + L": no host path");
    ::DeleteFileW(path.c_str());
    long answer = kind == L"fifo" ? MakeHostFifo(hostPath) : MakeHostLink(hostPath, plug::ToUtf8(target));
    return L"plant " + kind + L" " + path +
           (answer == 0 ? L": planted" : L": kernel error " + std::to_wstring(-answer));
}

} // namespace

std::wstring RunStep(const Step& step)
{
    if (step.name == L"read")
        return ReadStep(Argument(step, 0));
    if (step.name == L"write")
        return WriteStep(Argument(step, 0), Unescape(Argument(step, 1)));
    if (step.name == L"list")
        return ListStep(Argument(step, 0));
    if (step.name == L"forge-streams")
        return ForgeStreamsStep(Argument(step, 0), Unescape(Argument(step, 1)));
    if (step.name == L"window")
        return WindowStep(Unescape(Argument(step, 0)));
    if (step.name == L"box")
        return BoxStep(Unescape(Argument(step, 0)), Unescape(Argument(step, 1)));
    if (step.name == L"plant")
        return PlantStep(Argument(step, 0), Argument(step, 1), Argument(step, 2));
    if (step.name == L"wait") {
        ::Sleep(std::wcstoul(Argument(step, 0).c_str(), nullptr, 10));
        return L"waited";
    }
    return L"unknown step " + step.name;
}

} // namespace hostile
