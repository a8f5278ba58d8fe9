#include "ProcessStart.h"

#include "MessagePumpWait.h"
#include "StringFormat.h"
#include "Trace.h"

#include <shellapi.h>

namespace plug {

namespace {

// Saves the current directory and restores it when it goes: the shell start may change it.
class CurrentDirectoryKeeper {
public:
    CurrentDirectoryKeeper()
    {
        DWORD length = ::GetCurrentDirectoryW(0, nullptr);
        if (length > 0) {
            m_saved.resize(length);
            m_saved.resize(::GetCurrentDirectoryW(length, &m_saved[0]));
        }
    }
    ~CurrentDirectoryKeeper()
    {
        if (!m_saved.empty())
            ::SetCurrentDirectoryW(m_saved.c_str());
    }

private:
    std::wstring m_saved;
};

void TraceFailedStart(const wchar_t* how, const std::wstring& program, DWORD error)
{
    Trace(FormatString(L"[%ls()] could not start %ls : error %lu\r\n", how, program.c_str(),
                       static_cast<unsigned long>(error)));
}

} // namespace

UniqueHandle StartProgram(const std::wstring& program, const std::wstring& parameters, int showCommand)
{
    std::wstring folder;
    size_t slash = program.rfind(L'\\');
    if (slash != std::wstring::npos)
        folder = program.substr(0, slash);

    SHELLEXECUTEINFOW start = {};
    start.cbSize = sizeof(start);
    start.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    start.lpVerb = L"open";
    start.lpFile = program.c_str();
    start.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    start.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    start.nShow = showCommand;
    {
        CurrentDirectoryKeeper keeper;
        if (!::ShellExecuteExW(&start)) {
            TraceFailedStart(L"StartProgram", program, ::GetLastError());
            return UniqueHandle();
        }
    }
    return UniqueHandle(start.hProcess);
}

BOOL LaunchProgram(const std::wstring& program, const std::wstring& parameters)
{
    CurrentDirectoryKeeper keeper;
    HINSTANCE started = ::ShellExecuteW(nullptr, L"open", program.c_str(),
                                        parameters.empty() ? nullptr : parameters.c_str(), nullptr, SW_SHOWNORMAL);
    const INT_PTR code = reinterpret_cast<INT_PTR>(started); // above 32 on success, else the shell's error
    if (code <= 32) {
        TraceFailedStart(L"LaunchProgram", program, static_cast<DWORD>(code));
        return FALSE;
    }
    return TRUE;
}

BOOL WaitForProcessEnd(HANDLE process, DWORD timeoutMs) { return MessagePumpWait().Wait(&process, 1, timeoutMs) == 0; }

} // namespace plug
