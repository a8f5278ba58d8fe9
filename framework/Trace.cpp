#include "Trace.h"

#ifdef PLUGSTART_TRACE
#include "Handle.h"
#include "StringFormat.h"

#include <windows.h>
#endif

namespace plug {

#ifdef PLUGSTART_TRACE

namespace {

std::wstring TraceFilePath()
{
    wchar_t folder[MAX_PATH + 1] = {};
    DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH)
        return std::wstring();
    return std::wstring(folder) + L"Plugstart_trace.log";
}

// Serialises writers: the main thread and the workers trace at the same time.
CRITICAL_SECTION* TraceLock()
{
    static CRITICAL_SECTION lock;
    static const bool initialised = (::InitializeCriticalSection(&lock), true);
    (void)initialised;
    return &lock;
}

} // namespace

void Trace(const std::wstring& text, bool startNew)
{
    std::wstring path = TraceFilePath();
    if (path.empty())
        return;
    std::string utf8 = ToUtf8(text);
    ::EnterCriticalSection(TraceLock());
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  startNew ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        ::SetFilePointer(file.Get(), 0, nullptr, FILE_END);
        DWORD written = 0;
        ::WriteFile(file.Get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
    ::LeaveCriticalSection(TraceLock());
}

#else

void Trace(const std::wstring&, bool) {}

#endif

} // namespace plug
