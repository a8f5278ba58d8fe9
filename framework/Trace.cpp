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

enum class TraceMode { Off, On, Timed };

// The support switch, the variable PLUGSTART_TRACE: on when set to anything but empty or "0";
// "time" (in any case) stamps the texts too.
TraceMode ReadTraceSwitch()
{
    wchar_t value[8] = {};
    DWORD length = ::GetEnvironmentVariableW(L"PLUGSTART_TRACE", value, 8);
    if (length == 4 && ::lstrcmpiW(value, L"time") == 0)
        return TraceMode::Timed;
    if (length == 0 || (length == 1 && value[0] == L'0'))
        return kTraceAlways ? TraceMode::On : TraceMode::Off; // not set, empty or "0"
    return TraceMode::On;
}

// The switch and the lock are made while the program starts, before any of its threads runs:
// no function-local static with a guard of the C++ library (and its thread support) is needed.
// The lock first, so that it exists once the switch is read.

// Serialises writers: the main thread and the workers trace at the same time. Never deleted:
// a thread may still trace while the process ends.
class TraceLock {
public:
    TraceLock() { ::InitializeCriticalSection(&m_section); }
    void Enter() { ::EnterCriticalSection(&m_section); }
    void Leave() { ::LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};
TraceLock g_lock;

const TraceMode g_mode = ReadTraceSwitch();

TraceMode CurrentTraceMode() { return g_mode; }

// "[12345.678 ms] ": now on the performance counter, in milliseconds.
std::wstring TimeStamp()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER now;
    if (!::QueryPerformanceFrequency(&frequency) || !::QueryPerformanceCounter(&now) || frequency.QuadPart <= 0)
        return L"[? ms] ";
    unsigned long long ticks = static_cast<unsigned long long>(now.QuadPart);
    unsigned long long perSecond = static_cast<unsigned long long>(frequency.QuadPart);
    unsigned long long micro = ticks / perSecond * 1000000 + ticks % perSecond * 1000000 / perSecond;
    return FormatString(L"[%I64u.%03u ms] ", micro / 1000, static_cast<unsigned>(micro % 1000));
}

std::wstring TraceFilePath()
{
    wchar_t folder[MAX_PATH + 1] = {};
    DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH)
        return std::wstring();
    return std::wstring(folder) + L"Plugstart_trace.log";
}

// The text as a timed trace writes it: on a line of its own behind its stamp (a text before it
// that ended inside a line gets its line end here). Called under the lock.
std::wstring StampedText(const std::wstring& stamp, const std::wstring& text, bool startNew)
{
    static bool lineOpen = false; // the last text this process wrote ended inside a line
    std::wstring stamped = (lineOpen && !startNew ? L"\r\n" : L"") + stamp + text;
    if (!text.empty())
        lineOpen = text.back() != L'\n';
    return stamped;
}

} // namespace

bool IsTraceOn() { return CurrentTraceMode() != TraceMode::Off; }

void Trace(const std::wstring& text, bool startNew)
{
    const TraceMode mode = CurrentTraceMode();
    if (mode == TraceMode::Off)
        return;
    const std::wstring stamp = mode == TraceMode::Timed ? TimeStamp() : std::wstring();
    std::wstring path = TraceFilePath();
    if (path.empty())
        return;
    const bool emptyFirst = startNew && mode != TraceMode::Timed; // a timed trace keeps the moments before
    g_lock.Enter();
    std::string utf8 = ToUtf8(mode == TraceMode::Timed ? StampedText(stamp, text, emptyFirst) : text);
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  emptyFirst ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        ::SetFilePointer(file.Get(), 0, nullptr, FILE_END);
        DWORD written = 0;
        ::WriteFile(file.Get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
    g_lock.Leave();
}

void TraceMoment(const wchar_t* what)
{
    if (CurrentTraceMode() == TraceMode::Timed)
        Trace(std::wstring(L"moment: ") + what + L"\r\n");
}

} // namespace plug
