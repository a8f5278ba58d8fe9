#include "InstallRecord.h"

#include "FileTools.h"
#include "RegistryTools.h"
#include "StandInFiles.h"
#include "sim/SimFiles.h"
#include "framework/StringFormat.h"

#include <algorithm>

namespace sim {

namespace {

bool SameEntry(const RecordEntry& a, const RecordEntry& b)
{
    return a.kind == b.kind && a.root == b.root && plug::EqualsNoCase(a.path, b.path);
}

void WriteInstallRecord(const std::vector<RecordEntry>& entries)
{
    if (entries.empty()) {
        DeleteFileForced(kInstalledRecord);
        return;
    }
    std::wstring text;
    for (const RecordEntry& entry : entries)
        text += FormatRecordEntry(entry) + L"\r\n";
    ::CreateDirectoryW(kStateFolder, nullptr);
    WriteWholeFile(kInstalledRecord, plug::ToUtf8(text));
}

bool StillThere(const RecordEntry& entry)
{
    return entry.kind == RecordEntry::Kind::Key ? KeyExists(entry.root, entry.path) : PathExists(entry.path);
}

void TakeAwayIfBare(const RecordEntry& entry)
{
    if (entry.kind == RecordEntry::Kind::Key) {
        if (KeyIsBare(entry.root, entry.path))
            DeleteKeyTree(entry.root, entry.path);
    } else if (FolderIsEmpty(entry.path)) {
        ::RemoveDirectoryW(entry.path.c_str());
    }
}

} // namespace

std::wstring FormatRecordEntry(const RecordEntry& entry)
{
    if (entry.kind == RecordEntry::Kind::Key)
        return std::wstring(L"key\t") + RootName(entry.root) + L"\t" + entry.path;
    return L"folder\t" + entry.path;
}

bool ParseRecordEntry(const std::wstring& line, RecordEntry* entry)
{
    size_t tab = line.find(L'\t');
    if (tab == std::wstring::npos)
        return false;
    std::wstring kind = line.substr(0, tab);
    std::wstring rest = line.substr(tab + 1);
    RecordEntry parsed;
    if (kind == L"folder") {
        parsed.kind = RecordEntry::Kind::Folder;
        parsed.path = rest;
    } else if (kind == L"key") {
        size_t second = rest.find(L'\t');
        if (second == std::wstring::npos || !RootFromName(rest.substr(0, second), &parsed.root))
            return false;
        parsed.kind = RecordEntry::Kind::Key;
        parsed.path = rest.substr(second + 1);
    } else {
        return false;
    }
    if (parsed.path.empty())
        return false;
    *entry = parsed;
    return true;
}

std::vector<RecordEntry> ReadInstallRecord()
{
    std::wstring text = plug::Utf8ToWide(ReadWholeFile(kInstalledRecord));
    std::vector<RecordEntry> entries;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find(L'\n', begin);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        RecordEntry entry;
        if (ParseRecordEntry(line, &entry))
            entries.push_back(entry);
        begin = end + 1;
    }
    return entries;
}

void AddToInstallRecord(const std::vector<RecordEntry>& entries)
{
    std::vector<RecordEntry> record = ReadInstallRecord();
    for (const RecordEntry& entry : entries) {
        auto known = [&entry](const RecordEntry& other) { return SameEntry(entry, other); };
        if (std::none_of(record.begin(), record.end(), known))
            record.push_back(entry);
    }
    WriteInstallRecord(record);
}

void TidyRecordedEntries()
{
    std::vector<RecordEntry> record = ReadInstallRecord();
    // Deepest first: a longer path of the same kind may lie inside a shorter one, never the reverse.
    std::vector<RecordEntry> deepestFirst = record;
    std::stable_sort(deepestFirst.begin(), deepestFirst.end(),
                     [](const RecordEntry& a, const RecordEntry& b) { return a.path.size() > b.path.size(); });
    for (const RecordEntry& entry : deepestFirst)
        TakeAwayIfBare(entry);
    record.erase(std::remove_if(record.begin(), record.end(), [](const RecordEntry& e) { return !StillThere(e); }),
                 record.end());
    WriteInstallRecord(record);
}

} // namespace sim
