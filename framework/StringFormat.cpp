#include "StringFormat.h"

#include <windows.h>

#include <cstdarg>
#include <cwchar>
#include <vector>

namespace plug {

std::wstring FormatString(const wchar_t* format, ...)
{
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list args;
        va_start(args, format);
        // The system's formatter (msvcrt): the program's formats are all ones it knows (%ls, %hs,
        // %d, %u, %lu, %X, %I64u with widths and zeros), and MinGW's own C99 formatter would add
        // some 25 KB to every program. It answers -1 when the text does not fit.
        int written = _vsnwprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (written >= 0 && static_cast<size_t>(written) < buffer.size())
            return std::wstring(buffer.data(), static_cast<size_t>(written));
        if (buffer.size() >= (1u << 24))
            return std::wstring(); // a malformed format, not a short buffer
        buffer.resize(buffer.size() * 2);
    }
}

namespace {
std::string WideToMultiByte(UINT codePage, const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int length = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
    if (length <= 0)
        return std::string();
    std::string result(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &result[0], length, nullptr,
                          nullptr);
    return result;
}

std::wstring MultiByteToWide(UINT codePage, const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int length = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring result(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &result[0], length);
    return result;
}
} // namespace

std::string ToUtf8(const std::wstring& text) { return WideToMultiByte(CP_UTF8, text); }
std::wstring Utf8ToWide(const std::string& text) { return MultiByteToWide(CP_UTF8, text); }
std::string WideToAnsi(const std::wstring& text) { return WideToMultiByte(CP_ACP, text); }
std::wstring AnsiToWide(const std::string& text) { return MultiByteToWide(CP_ACP, text); }

std::wstring ToLower(std::wstring text)
{
    if (!text.empty())
        ::CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b)
{
    return a.size() == b.size() && ToLower(a) == ToLower(b);
}

} // namespace plug
