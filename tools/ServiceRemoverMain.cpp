// NorvoServiceRemover.exe: started with "auto_run" it stops and deletes the command service
// "Norvo SCSI Commander" and exits 0 (also when there is no such service). Started any other
// way it changes nothing and exits 3. Exit codes 1 and 2: see ServiceRemovalResult.
#include "ServiceRemoval.h"
#include "ToolEntry.h"

namespace {

// True when arguments is "auto_run" alone, with blanks or tabs after it.
bool IsAutoRunArgument(const wchar_t* arguments)
{
    const wchar_t expected[] = L"auto_run";
    const wchar_t* at = arguments;
    for (const wchar_t* e = expected; *e; ++e, ++at) {
        if (*at != *e)
            return false;
    }
    while (*at == L' ' || *at == L'\t')
        ++at;
    return *at == L'\0';
}

} // namespace

int ToolMain(const wchar_t* arguments)
{
    if (!IsAutoRunArgument(arguments))
        return 3;
    return plug::RemoveCommandService();
}
