#include "Trace.h"

#include "Handle.h"
#include "StringFormat.h"

#include <windows.h>

namespace plug {

namespace {

#ifdef PLUGSTART_TRACE
constexpr bool kTraceAlways = true;
#else
constexpr bool kTraceAlways = false;
#endif

// The support switch: the variable PLUGSTART_TRACE set to anything but empty or "0".
bool IsTraceSwitchSet()
{
    wchar_t value[4] = {};
    DWORD length = ::GetEnvironmentVariableW(L"PLUGSTART_TRACE", value, 4);
    if (length == 0)
        return false; // not set, or set to the empty text
    return !(length == 1 && value[0] == L'0');
}

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

bool IsTraceOn()
{
    static const bool on = kTraceAlways || IsTraceSwitchSet();
    return on;
}

void Trace(const std::wstring& text, bool startNew)
{
    if (!IsTraceOn())
        return;
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

} // namespace plug
