#include "HostileScript.h"

#include "framework/StringFormat.h"

namespace hostile {

std::wstring Unescape(const std::wstring& field)
{
    std::wstring text;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != L'\\' || i + 1 == field.size()) {
            text += field[i];
            continue;
        }
        wchar_t next = field[++i];
        if (next == L't')
            text += L'\t';
        else if (next == L'n')
            text += L"\r\n";
        else if (next == L'\\')
            text += L'\\';
        else
            text += std::wstring(L"\\") + next; // any other backslash stays as written
    }
    return text;
}

namespace {

std::vector<std::wstring> SplitTabs(const std::wstring& line)
{
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find(L'\t', start);
        fields.push_back(line.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start));
        if (tab == std::wstring::npos)
            return fields;
        start = tab + 1;
    }
}

} // namespace

std::vector<Step> ParseScript(const std::string& utf8)
{
    std::wstring text = plug::Utf8ToWide(utf8);
    if (!text.empty() && text[0] == L'\xFEFF')
        text.erase(0, 1);
    std::vector<Step> steps;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        std::wstring line = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        start = end == std::wstring::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        if (line.empty() || line[0] == L'#')
            continue;
        std::vector<std::wstring> fields = SplitTabs(line);
        Step step;
        step.name = fields[0];
        step.arguments.assign(fields.begin() + 1, fields.end());
        steps.push_back(step);
    }
    return steps;
}

} // namespace hostile
