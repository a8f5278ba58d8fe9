// The steps the hostile test program can take, each as a program on a CD from elsewhere would:
// read a file (and, having read it, show what it read in a message box and keep a copy on C:),
// append a text to a file, list a folder, write a text into the standard input and output of the
// processes whose command line holds a name (through the host's /proc), show a window or a
// message box with a given title or text, plant a symbolic link or a FIFO where a file of the PC
// should be (KernelCalls.h), or wait. Each returns one line for the program's own account of what
// it tried.
#pragma once

#include "HostileScript.h"

#include <string>

namespace hostile {

std::wstring RunStep(const Step& step);

// Where the program keeps its account and what it read: C:\hostile\.
extern const wchar_t kAccountFolder[];

} // namespace hostile
