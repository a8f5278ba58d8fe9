#include "HeldFile.h"

#include "framework/Handle.h"

#include <cwchar>

namespace plugtest {

namespace {

// Arguments: the file, the access, the sharing (decimal) and the name of the event to set once
// the file is open. Holds it for a minute at most, so that it never outlives a test run.
PLUGTEST_CHILD_MODE(hold_file)
{
    if (arguments.size() != 4)
        return 2;
    DWORD access = static_cast<DWORD>(std::wcstoul(arguments[1].c_str(), nullptr, 10));
    DWORD share = static_cast<DWORD>(std::wcstoul(arguments[2].c_str(), nullptr, 10));
    plug::UniqueFile file(::CreateFileW(arguments[0].c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return 1;
    plug::UniqueHandle ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, arguments[3].c_str()));
    if (ready)
        ::SetEvent(ready.Get());
    ::Sleep(60000);
    return 0;
}

std::wstring UniqueEventName()
{
    static LONG counter = 0;
    return L"PlugstartTest.FileHeld." + std::to_wstring(::GetCurrentProcessId()) + L"." +
           std::to_wstring(::InterlockedIncrement(&counter));
}

} // namespace

HeldFile::HeldFile(const std::wstring& path, DWORD access, DWORD share)
    : m_readyName(UniqueEventName()), m_ready(::CreateEventW(nullptr, TRUE, FALSE, m_readyName.c_str())),
      m_holder(ChildProcess::StartMode(L"hold_file", L"\"" + path + L"\" " + std::to_wstring(access) + L" " +
                                                         std::to_wstring(share) + L" " + m_readyName))
{
    if (!m_ready || !m_holder.IsStarted())
        return;
    HANDLE either[2] = {m_ready.Get(), m_holder.Handle()}; // held, or the holder gave up
    m_held = ::WaitForMultipleObjects(2, either, FALSE, 30000) == WAIT_OBJECT_0;
}

} // namespace plugtest
