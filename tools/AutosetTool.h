// The work of the autoplay repair tool NorvoSetCDROMAutoRun.exe: the machine-wide repairs that
// the program cannot make itself on Vista and later without administrator rights.
#pragma once

namespace plug {

enum AutosetToolResult {
    AUTOSET_DONE = 0,         // every requested repair was written
    AUTOSET_WRITE_FAILED = 1, // one or more could not be written; the others were
    AUTOSET_BAD_ARGUMENT = 2, // not exactly one argument "autoset-N": nothing was changed
};

// Makes the repairs that the command line's arguments (what follows the program name) ask for.
AutosetToolResult RunAutosetTool(const wchar_t* arguments);

} // namespace plug
