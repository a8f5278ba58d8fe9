#include "ChildProcess.h"

#include <map>

namespace plugtest {

namespace {
std::map<std::wstring, ChildMode>& Modes()
{
    static std::map<std::wstring, ChildMode> modes;
    return modes;
}
} // namespace

ChildModeRegistration::ChildModeRegistration(const wchar_t* name, ChildMode mode) { Modes()[name] = mode; }

bool RunChildModeIfAsked(int argc, wchar_t** argv, int* exitCode)
{
    if (argc < 3 || std::wstring(argv[1]) != L"--child")
        return false;
    auto found = Modes().find(argv[2]);
    if (found == Modes().end()) {
        *exitCode = 99;
        return true;
    }
    std::vector<std::wstring> arguments(argv + 3, argv + argc);
    *exitCode = found->second(arguments);
    return true;
}

std::wstring ThisExecutable()
{
    wchar_t path[MAX_PATH * 2] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    return path;
}

ChildProcess ChildProcess::StartMode(const std::wstring& mode, const std::wstring& arguments)
{
    return Start(ThisExecutable(), L"--child " + mode + (arguments.empty() ? L"" : L" " + arguments));
}

ChildProcess ChildProcess::Start(const std::wstring& program, const std::wstring& arguments,
                                 const std::wstring& workingDirectory)
{
    ChildProcess child;
    std::wstring commandLine = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (::CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                         workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup, &info)) {
        ::CloseHandle(info.hThread);
        child.m_process.Attach(info.hProcess);
        child.m_processId = info.dwProcessId;
    }
    return child;
}

ChildProcess::~ChildProcess()
{
    if (m_process && ::WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(m_process.Get(), 1);
        ::WaitForSingleObject(m_process.Get(), 5000);
    }
}

int ChildProcess::Wait(DWORD timeoutMs)
{
    if (!m_process || ::WaitForSingleObject(m_process.Get(), timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(m_process.Get(), &code);
    return static_cast<int>(code);
}

int RunAndCapture(const std::wstring& program, const std::wstring& arguments, std::string* output,
                  DWORD timeoutMs)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return -1;
    plug::UniqueHandle reader(readEnd);
    plug::UniqueHandle writer(writeEnd);
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    std::wstring commandLine = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &info))
        return -1;
    plug::UniqueHandle process(info.hProcess);
    plug::UniqueHandle thread(info.hThread);
    writer.Reset(); // so that the read below ends when the child ends

    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(reader.Get(), buffer, sizeof(buffer), &got, nullptr) && got > 0)
        text.append(buffer, got);
    if (output)
        *output = text;
    if (::WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.Get(), 1);
        return -1;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.Get(), &code);
    return static_cast<int>(code);
}

std::wstring CopyAsWindowsVersion(const std::wstring& program, const std::wstring& windowsVersion)
{
    size_t dot = program.rfind(L'.');
    std::wstring copy = program.substr(0, dot) + L"_" + windowsVersion + L".exe";
    ::CopyFileW(program.c_str(), copy.c_str(), FALSE);
    std::wstring name = copy.substr(copy.rfind(L'\\') + 1);
    HKEY appKey = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, (L"Software\\Wine\\AppDefaults\\" + name).c_str(), 0, nullptr, 0,
                          KEY_SET_VALUE, nullptr, &appKey, nullptr) == ERROR_SUCCESS) {
        plug::UniqueHKey key(appKey);
        ::RegSetValueExW(key.Get(), L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(windowsVersion.c_str()),
                         static_cast<DWORD>((windowsVersion.size() + 1) * sizeof(wchar_t)));
    }
    return copy;
}

} // namespace plugtest
