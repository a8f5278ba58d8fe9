// NorvoServiceRemover.exe: started with "auto_run" it stops and deletes the command service
// "Norvo SCSI Commander" and exits 0 (also when there is no such service). Started any other
// way it changes nothing and exits 3. Exit codes 1 and 2: see ServiceRemovalResult.
#include "ServiceRemoval.h"

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int)
{
    while (*commandLine == L' ' || *commandLine == L'\t')
        ++commandLine;
    std::wstring argument(commandLine);
    while (!argument.empty() && (argument.back() == L' ' || argument.back() == L'\t'))
        argument.pop_back();
    if (argument != L"auto_run")
        return 3;
    return plug::RemoveCommandService();
}
