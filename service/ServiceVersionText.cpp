#include "ServiceVersionText.h"

#include <algorithm>

namespace plug {

std::wstring NormalizeServiceVersionText(std::wstring text)
{
    std::replace(text.begin(), text.end(), L',', L'.');
    text.erase(std::remove(text.begin(), text.end(), L' '), text.end());
    return text;
}

bool NamesServiceExecutable(const std::wstring& path)
{
    auto lower = [](std::wstring text) {
        for (wchar_t& c : text) {
            if (c >= L'A' && c <= L'Z')
                c = static_cast<wchar_t>(c - L'A' + L'a');
        }
        return text;
    };
    return lower(path).find(lower(kServiceExecutableName)) != std::wstring::npos;
}

} // namespace plug
