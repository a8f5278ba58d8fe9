#include "ChildProcess.h"

#include "TestFiles.h"

#include <algorithm>
#include <cwctype>
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

int RunAndCapture(const std::wstring& program, const std::wstring& arguments, std::string* output, DWORD timeoutMs)
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

namespace {
std::wstring VariableName(const std::wstring& assignment)
{
    std::wstring name = assignment.substr(0, assignment.find(L'=', 1));
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(::towupper(c));
    return name;
}

// This process's environment with the given assignments in place of the variables they name.
std::wstring EnvironmentBlockWith(const std::vector<std::wstring>& variables)
{
    std::vector<std::wstring> replaced;
    for (const std::wstring& variable : variables)
        replaced.push_back(VariableName(variable));
    std::wstring block;
    wchar_t* strings = ::GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
        if (std::find(replaced.begin(), replaced.end(), VariableName(entry)) == replaced.end())
            block.append(entry).push_back(L'\0');
    }
    ::FreeEnvironmentStringsW(strings);
    for (const std::wstring& variable : variables)
        block.append(variable).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}
} // namespace

bool RunModeInUnixEnvironment(const std::wstring& mode, const std::vector<std::wstring>& variables,
                              const std::wstring& arguments, std::wstring* answer, DWORD timeoutMs)
{
    // Starting the loader (a Unix program) hands the environment block to the Unix side.
    wchar_t loader[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"WINELOADER", loader, MAX_PATH)) {
        *answer = L"WINELOADER is not set: not running under Wine";
        return false;
    }
    std::wstring loaderFile = std::wstring(L"Z:") + loader;
    std::replace(loaderFile.begin(), loaderFile.end(), L'/', L'\\');
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    static LONG counter = 0;
    const std::wstring answerFile = std::wstring(temp) + L"plugchild_" + std::to_wstring(::GetCurrentProcessId()) +
                                    L"_" + std::to_wstring(::InterlockedIncrement(&counter)) + L".txt";
    ::DeleteFileW(answerFile.c_str());
    std::wstring commandLine = L"\"" + std::wstring(loader) + L"\" \"" + ThisExecutable() + L"\" --child " + mode +
                               L" \"" + answerFile + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    std::wstring environment = EnvironmentBlockWith(variables);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(loaderFile.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                          &environment[0], nullptr, &startup, &info)) {
        *answer = L"the Wine loader " + loaderFile + L" did not start";
        return false;
    }
    plug::UniqueHandle loaderProcess(info.hProcess);
    plug::UniqueHandle loaderThread(info.hThread);
    // The loader's process is not one that can be waited for: wait for the answer instead. It
    // appears whole, by a rename, but may not open at once while the rename lets go of it.
    const DWORD start = ::GetTickCount();
    std::string bytes;
    while ((bytes = ReadBinaryFile(answerFile)).empty()) {
        if (::GetTickCount() - start > timeoutMs) {
            *answer = L"no answer within the time-out";
            return false;
        }
        ::Sleep(20);
    }
    ::DeleteFileW(answerFile.c_str());
    answer->assign(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    return true;
}

void WriteChildAnswer(const std::wstring& answerFile, const std::wstring& answer)
{
    // Written aside and then renamed, so that the parent never reads half an answer.
    const std::wstring part = answerFile + L".part";
    WriteBinaryFile(part, std::string(reinterpret_cast<const char*>(answer.data()), answer.size() * sizeof(wchar_t)));
    ::MoveFileExW(part.c_str(), answerFile.c_str(), MOVEFILE_REPLACE_EXISTING);
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
