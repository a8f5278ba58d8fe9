#include "CommandLine.h"

namespace plug {

StartArguments ParseStartArguments(const std::wstring& commandLine)
{
    StartArguments result;
    if (commandLine.find(L"-l") == std::wstring::npos)
        return result;
    result.pcStart = true;
    result.argument = commandLine;
    if (commandLine.size() < 4)
        result.letterMissing = true;
    else
        result.driveLetter = commandLine.substr(3, 1);
    return result;
}

} // namespace plug
