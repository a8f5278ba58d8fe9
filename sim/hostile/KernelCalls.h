// What a Windows program under Wine can do that Windows has no call for: ask Wine for the host
// path of a Windows path, and call the host's kernel itself (Wine does not stand between a
// program and the kernel) to make a symbolic link or a FIFO there. The hostile test program
// plants such files where the plug-in run reads and writes.
#pragma once

#include <string>

namespace hostile {

// The host path of a Windows path, or "" where Wine gives none (or on Windows itself).
std::string HostPathOf(const std::wstring& windowsPath);

// The kernel's answer: 0 when done, else the negative error number (-38 where no kernel call
// can be made).
long MakeHostLink(const std::string& hostPath, const std::string& target);
long MakeHostFifo(const std::string& hostPath);

} // namespace hostile
