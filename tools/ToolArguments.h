// What follows the program name on a tool's command line. Portable (no Windows headers) and free
// of the C++ library: the tools link no runtime and read their command line themselves.
#pragma once

namespace plug {

// The arguments of commandLine as Windows hands it to a process: the program name (up to the
// closing quotation mark when it starts with one, else up to the first blank or tab) and the
// blanks and tabs after it are skipped. Points into commandLine.
const wchar_t* ToolArguments(const wchar_t* commandLine);

} // namespace plug
