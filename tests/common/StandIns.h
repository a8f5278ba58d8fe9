// The stand-ins for the maker's installers and programs (sim/programs) as the tests see them:
// their script, their log, where they lie, and a view of what they may change.
#pragma once

#include "sim/programs/ProgramsLog.h"

#include <windows.h>

#include <string>
#include <vector>

namespace plugtest {

// While it lives the stand-ins' script, log and install record start empty; all three are
// removed again at the end.
class ScopedStandIns {
public:
    ScopedStandIns();
    ~ScopedStandIns();
    ScopedStandIns(const ScopedStandIns&) = delete;
    ScopedStandIns& operator=(const ScopedStandIns&) = delete;

    // Writes key=value into a section of the script (a role, or a program's file name).
    void Script(const std::wstring& section, const std::wstring& key, const std::wstring& value);
    void ClearScript();

    std::vector<sim::ProgramAction> Actions() const;
    // The actions a program logged, in order, as "action detail" texts ("installed QCT 2.1.0.4").
    std::vector<std::wstring> ActionsOf(const std::wstring& program) const;
    // Waits until program has logged action (count times: each of its copies may log it), at most
    // timeoutMs.
    bool WaitForAction(const std::wstring& program, const std::wstring& action, DWORD timeoutMs = 30000,
                       size_t count = 1) const;

private:
    bool m_folderWasThere;
};

// A stand-in built beside the test executable ("SimDriverSetup"), copied into folder under name;
// returns the copy's path.
std::wstring PlaceStandIn(const std::wstring& standIn, const std::wstring& folder, const std::wstring& name);

// The version of a file as its version resource's fixed block gives it ("a.b.c.d"), and its
// US English "FileVersion" string; empty when the file has none.
std::wstring FixedFileVersion(const std::wstring& path);
std::wstring FileVersionString(const std::wstring& path);

// A text of everything under a registry key (keys, value names, types and data) or a folder
// (files and their sizes), to compare what was there before with what is there after.
std::wstring RegistryTreeText(HKEY root, const std::wstring& path);
std::wstring FolderTreeText(const std::wstring& folder);

} // namespace plugtest
