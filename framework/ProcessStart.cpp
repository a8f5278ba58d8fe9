#include "ProcessStart.h"

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

namespace {

// Dispatches what is queued for this thread. A quit request is put back for the loop that
// owns it and reported.
bool DispatchQueuedMessages()
{
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return true;
}

} // namespace

BOOL WaitForProcessEnd(HANDLE process, DWORD timeoutMs)
{
    const DWORD started = ::GetTickCount();
    bool pumping = true;
    for (;;) {
        DWORD remaining = INFINITE;
        if (timeoutMs != INFINITE) {
            DWORD elapsed = ::GetTickCount() - started;
            remaining = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
        }
        // After a quit request only the process is waited for, so the request stays queued.
        DWORD wait = pumping ? ::MsgWaitForMultipleObjects(1, &process, FALSE, remaining, QS_ALLINPUT)
                             : ::WaitForSingleObject(process, remaining);
        if (wait == WAIT_OBJECT_0)
            return TRUE;
        if (pumping && wait == WAIT_OBJECT_0 + 1) {
            pumping = DispatchQueuedMessages();
            continue;
        }
        return FALSE; // time-out or a handle that cannot be waited on
    }
}

} // namespace plug
