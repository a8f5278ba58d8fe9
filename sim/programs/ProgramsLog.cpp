#include "ProgramsLog.h"

#include "FileTools.h"
#include "StandInFiles.h"
#include "sim/SimLog.h"
#include "framework/StringFormat.h"

#include <algorithm>
#include <cwchar>

namespace sim {

std::wstring FormatProgramAction(const ProgramAction& action)
{
    return LogField(L"program", action.program) + L"\t" + LogField(L"pid", std::to_wstring(action.pid)) + L"\t" +
           LogField(L"action", action.action) + L"\t" + LogField(L"detail", action.detail) + L"\t" +
           LogField(L"command", action.command);
}

bool ParseProgramAction(const std::wstring& line, ProgramAction* action)
{
    ProgramAction parsed;
    size_t begin = 0;
    while (begin <= line.size()) {
        size_t end = line.find(L'\t', begin);
        if (end == std::wstring::npos)
            end = line.size();
        std::wstring field = line.substr(begin, end - begin);
        size_t equals = field.find(L'=');
        if (equals != std::wstring::npos) {
            std::wstring name = field.substr(0, equals);
            std::wstring value = field.substr(equals + 1);
            if (name == L"program")
                parsed.program = value;
            else if (name == L"pid")
                parsed.pid = std::wcstoul(value.c_str(), nullptr, 10);
            else if (name == L"action")
                parsed.action = value;
            else if (name == L"detail")
                parsed.detail = value;
            else if (name == L"command")
                parsed.command = value;
        }
        begin = end + 1;
    }
    if (parsed.program.empty() || parsed.action.empty())
        return false;
    *action = parsed;
    return true;
}

void AppendProgramAction(const ProgramAction& action) { AppendLogLine(kProgramsLog, FormatProgramAction(action)); }

std::vector<ProgramAction> ReadProgramActions()
{
    std::wstring text = plug::Utf8ToWide(ReadWholeFile(kProgramsLog));
    std::vector<ProgramAction> actions;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = std::min(text.find(L"\r\n", begin), text.size());
        ProgramAction action;
        if (ParseProgramAction(text.substr(begin, end - begin), &action))
            actions.push_back(action);
        begin = end + 2;
    }
    return actions;
}

} // namespace sim
