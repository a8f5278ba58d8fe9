#include "DownloadCheck.h"

#include <cstring>

namespace plug {

namespace {

bool Contains(const std::wstring& text, const wchar_t* code) { return text.find(code) != std::wstring::npos; }

const wchar_t* ErrorMessageKey(const std::wstring& resultText)
{
    if (Contains(resultText, L"MSG_SERVER_CONN_ERROR"))
        return L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_2";
    if (Contains(resultText, L"MSG_SERVER_FAIL"))
        return L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_3";
    if (Contains(resultText, L"MSG_FUNCTION_FAIL"))
        return L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_4";
    return nullptr;
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix)
{
    size_t length = std::wcslen(prefix);
    if (text.size() < length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

} // namespace

std::string TextInBuffer(const char* buffer, size_t size)
{
    if (!buffer)
        return std::string();
    const void* zero = std::memchr(buffer, 0, size);
    size_t length = zero ? static_cast<size_t>(static_cast<const char*>(zero) - buffer) : size;
    return std::string(buffer, length);
}

DownloadCheckVerdict InterpretDownloadCheck(bool succeeded, const std::wstring& resultText,
                                            const std::wstring (&candidates)[kDownloadCandidateCount],
                                            const std::wstring& downloadPath)
{
    DownloadCheckVerdict verdict;
    if (!succeeded || !Contains(resultText, L"MSG_SUCCESS")) {
        verdict.messageKey = ErrorMessageKey(resultText);
        return verdict;
    }
    for (const std::wstring& server : candidates) {
        if (server.empty())
            continue;
        verdict.address = server;
        if (verdict.address.back() != L'/')
            verdict.address += L'/';
        verdict.address += downloadPath;
        break;
    }
    return verdict;
}

bool IsWebAddress(const std::wstring& address)
{
    return StartsWithNoCase(address, L"http://") || StartsWithNoCase(address, L"https://");
}

} // namespace plug
