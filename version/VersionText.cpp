#include "VersionText.h"

#include <cstdint>

namespace plug {

namespace {

bool IsCSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// The number of dots counted the way versions are normalised: dot after dot, while each
// remainder has its next dot beyond its first character.
int CountLeadingDots(const std::wstring& text)
{
    size_t dot = text.find(L'.');
    if (dot == std::wstring::npos || dot == 0)
        return 0;
    int count = 0;
    while (dot != std::wstring::npos) {
        ++count;
        size_t rest = dot + 1;
        size_t next = text.find(L'.', rest);
        if (next == std::wstring::npos || next == rest)
            break;
        dot = next;
    }
    return count;
}

} // namespace

uint32_t VersionFieldValue(const std::wstring& field)
{
    size_t at = 0;
    while (at < field.size() && IsCSpace(field[at]))
        ++at;
    bool negative = false;
    if (at < field.size() && (field[at] == L'+' || field[at] == L'-'))
        negative = field[at++] == L'-';
    const int64_t limit = negative ? int64_t(INT32_MAX) + 1 : INT32_MAX;
    int64_t magnitude = 0;
    for (; at < field.size() && field[at] >= L'0' && field[at] <= L'9'; ++at) {
        magnitude = magnitude * 10 + (field[at] - L'0');
        if (magnitude > limit)
            magnitude = limit; // keeps saturating without overflow
    }
    int64_t value = negative ? -magnitude : magnitude;
    return static_cast<uint32_t>(static_cast<int32_t>(value));
}

std::wstring NormaliseVersionText(const std::wstring& text)
{
    std::wstring normalised = text;
    if (CountLeadingDots(text) < 3)
        normalised += L".0";
    std::wstring withoutSpaces;
    withoutSpaces.reserve(normalised.size());
    for (wchar_t c : normalised) {
        if (c != L' ')
            withoutSpaces.push_back(c);
    }
    return withoutSpaces;
}

VersionFields SplitVersionText(const std::wstring& normalised)
{
    VersionFields fields = {0, 0, 0, 0};
    size_t start = 0; // the remaining text is normalised.substr(start)
    for (int index = 0; index < 3; ++index) {
        size_t dot = normalised.find(L'.', start);
        if (dot == std::wstring::npos)
            continue; // no dot: the field is empty (0) and the whole remainder stays
        fields[index] = VersionFieldValue(normalised.substr(start, dot - start));
        start = dot + 1;
    }
    fields[3] = VersionFieldValue(normalised.substr(start));
    return fields;
}

VersionFields ReadVersion(const std::wstring& text) { return SplitVersionText(NormaliseVersionText(text)); }

bool IsNewerVersion(const std::wstring& oldVersion, const std::wstring& newVersion)
{
    return ReadVersion(newVersion) > ReadVersion(oldVersion);
}

std::wstring FilterVersionString(const std::wstring& text)
{
    std::wstring filtered;
    for (wchar_t c : text) {
        if ((c >= L'0' && c <= L'9') || c == L'.')
            filtered.push_back(c);
    }
    if (filtered.find(L'.') == std::wstring::npos)
        return std::wstring();
    return filtered;
}

} // namespace plug
