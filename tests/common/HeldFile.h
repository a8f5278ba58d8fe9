// Another process that holds a file open, as a virus scanner, an indexer or a program that locks
// its files does: the sharing checks of Windows then apply between two real processes.
#pragma once

#include "ChildProcess.h"
#include "framework/Handle.h"

#include <windows.h>

#include <string>

namespace plugtest {

class HeldFile {
public:
    // Starts a copy of this test program that opens path with access and share (the sharing it
    // grants others; 0 for none) and keeps it open until this object goes.
    HeldFile(const std::wstring& path, DWORD access, DWORD share);
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    // True once the other process holds the file open.
    bool IsHeld() const { return m_held; }

private:
    std::wstring m_readyName; // an event the holder sets once the file is open
    plug::UniqueHandle m_ready;
    ChildProcess m_holder;
    bool m_held = false;
};

} // namespace plugtest
