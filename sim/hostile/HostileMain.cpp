// PlugHostile.exe [SCRIPT]: a test program that behaves as a hostile image's program would, for
// the plug-in run's hostile-image cases. It takes the steps of SCRIPT (default: hostile.txt
// beside the program; see HostileScript.h) one after another and appends, for each, a line of
// what it tried and what it got to C:\hostile\account.txt. Exit code 0; 2 when the script
// cannot be read.
#include "HostileScript.h"
#include "HostileSteps.h"
#include "framework/Handle.h"
#include "framework/StringFormat.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::wstring DefaultScript()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\') + 1) + L"hostile.txt";
}

bool ReadAll(const std::wstring& path, std::string* bytes)
{
    plug::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes->append(buffer, read);
    return true;
}

void Account(const std::wstring& line)
{
    ::CreateDirectoryW(hostile::kAccountFolder, nullptr);
    std::string text = plug::ToUtf8(line) + "\r\n";
    plug::UniqueFile file(::CreateFileW((std::wstring(hostile::kAccountFolder) + L"\\account.txt").c_str(),
                                        FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                        nullptr));
    DWORD written = 0;
    if (file)
        ::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    plug::UniqueLocalMemory arguments(reinterpret_cast<HLOCAL>(argv));
    std::wstring script = argv && argc > 1 ? argv[1] : DefaultScript();
    std::string bytes;
    if (!ReadAll(script, &bytes)) {
        Account(L"no script at " + script);
        return 2;
    }
    for (const hostile::Step& step : hostile::ParseScript(bytes))
        Account(hostile::RunStep(step));
    return 0;
}
