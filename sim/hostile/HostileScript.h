// The script of the hostile test program: what it tries, one step a line. A line is UTF-8 text
// of tab-separated fields, the first the step's name; paths are taken as they are written. Blank
// lines and lines starting with '#' are skipped.
#pragma once

#include <string>
#include <vector>

namespace hostile {

struct Step {
    std::wstring name;
    std::vector<std::wstring> arguments;
};

std::vector<Step> ParseScript(const std::string& utf8);

// A text field (not a path) with its escapes turned into what they stand for: "\t" a tab, "\n"
// a line break (CR LF), "\\" a backslash; so a text can carry whole log lines.
std::wstring Unescape(const std::wstring& field);

} // namespace hostile
