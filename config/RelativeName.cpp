#include "RelativeName.h"

namespace plug {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Windows drops trailing blanks and dots of a path component, so "..", ".. ", "..." and ". ."
// may all climb to the parent there: a component of dots and blanks with two dots or more.
bool ClimbsOut(const std::wstring& component)
{
    size_t dots = 0;
    for (wchar_t c : component) {
        if (c == L'.')
            ++dots;
        else if (c != L' ')
            return false;
    }
    return dots >= 2;
}

} // namespace

bool IsContainedRelativeName(const std::wstring& name)
{
    if (name.empty() || IsSeparator(name[0]) || name.find(L':') != std::wstring::npos)
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end]))
            ++end;
        if (ClimbsOut(name.substr(start, end - start)))
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace plug
