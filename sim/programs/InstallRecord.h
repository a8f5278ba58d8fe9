// The record of the keys and folders that the stand-in setups created, C:\plugstart_sim\installed.txt,
// one per line, tab-separated, UTF-8:
//   key  HKLM  SYSTEM\CurrentControlSet\Enum\USB
//   folder  C:\Program Files\Norvo Electronics
// A remover takes away its product's own keys and files, then every recorded key and folder that
// it has left bare, so that an install followed by its removal leaves things as they were.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sim {

struct RecordEntry {
    enum class Kind { Key, Folder };
    Kind kind = Kind::Key;
    HKEY root = nullptr; // keys only
    std::wstring path;
};

std::wstring FormatRecordEntry(const RecordEntry& entry);
// False for a line that is not a well-formed entry.
bool ParseRecordEntry(const std::wstring& line, RecordEntry* entry);

std::vector<RecordEntry> ReadInstallRecord();
// Adds entries not recorded yet.
void AddToInstallRecord(const std::vector<RecordEntry>& entries);

// Takes away every recorded key that holds neither values nor subkeys and every recorded folder
// that holds nothing, deepest first; keeps in the record only what is still there.
void TidyRecordedEntries();

} // namespace sim
