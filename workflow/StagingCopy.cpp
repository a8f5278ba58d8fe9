#include "StagingCopy.h"

#include "config/ModulePath.h"
#include "config/SystemFolders.h"
#include "framework/Handle.h"

#include <shlobj.h>

#include <set>

namespace plug {

namespace {

std::wstring WithoutBackslash(std::wstring path)
{
    if (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

bool IsFoundBySearch(const std::wstring& folder)
{
    const std::wstring path = WithoutBackslash(folder);
    WIN32_FIND_DATAW found = {};
    UniqueFind search(::FindFirstFileW(path.c_str(), &found));
    return search.IsValid();
}

// Makes folder unless it is there (found by a file search); false when it is not there after.
// Making it first answers both questions at once in the common case, a first staging; a refusal
// (already there, or no right to make it) is then settled by the search. *made: this call made it.
bool EnsureFolder(const std::wstring& folder, bool* made)
{
    *made = ::CreateDirectoryW(folder.c_str(), nullptr) != FALSE;
    return *made || IsFoundBySearch(folder);
}

// Paths compared as Windows compares file names: without regard to case, either slash.
std::wstring PathKey(std::wstring path)
{
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    if (!path.empty())
        ::CharLowerBuffW(&path[0], static_cast<DWORD>(path.size()));
    return path;
}

// What a staging may leave in its folder: the files it copies and the folders that hold them.
class StagingContents {
public:
    StagingContents(const StagingFolders& folders, const StagingPlan& plan)
    {
        m_folders.insert(PathKey(folders.toolsDirectory));
        for (const StagingFile& file : plan.files) {
            if (file.step != StagingStep::Copy)
                continue;
            std::wstring target = PathKey(file.target);
            m_files.insert(target);
            for (size_t slash = target.find(L'\\', folders.destinationDirectory.size()); slash != std::wstring::npos;
                 slash = target.find(L'\\', slash + 1))
                m_folders.insert(target.substr(0, slash + 1));
        }
    }
    bool HoldsFile(const std::wstring& path) const { return m_files.count(PathKey(path)) != 0; }
    bool HoldsFolder(const std::wstring& folder) const { return m_folders.count(PathKey(folder)) != 0; }

private:
    std::set<std::wstring> m_files;
    std::set<std::wstring> m_folders; // with their backslash
};

bool RemoveEntry(const std::wstring& path, DWORD attributes, std::wstring* failed);

// Removes from folder (with its backslash) everything but what keep holds (everything when keep
// is null); false, with the path that stays in *failed, when something cannot be removed.
bool RemoveAllBut(const std::wstring& folder, const StagingContents* keep, std::wstring* failed)
{
    WIN32_FIND_DATAW entry = {};
    UniqueFind search(::FindFirstFileW((folder + L"*").c_str(), &entry));
    if (!search)
        return true;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + name;
        const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool isLink = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (isFolder && !isLink && keep && keep->HoldsFolder(path + L"\\")) {
            if (!RemoveAllBut(path + L"\\", keep, failed))
                return false;
        } else if (isFolder || isLink || !keep || !keep->HoldsFile(path)) { // no copy writes through a link
            if (!RemoveEntry(path, entry.dwFileAttributes, failed))
                return false;
        }
    } while (::FindNextFileW(search.Get(), &entry));
    return true;
}

// Removes a file, a link to a folder (never what it points to), or a folder with everything in it.
bool RemoveEntry(const std::wstring& path, DWORD attributes, std::wstring* failed)
{
    if (attributes & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (isFolder && !isLink && !RemoveAllBut(path + L"\\", nullptr, failed))
        return false;
    if (isFolder ? ::RemoveDirectoryW(path.c_str()) : ::DeleteFileW(path.c_str()))
        return true;
    *failed = path;
    return false;
}

// A folder where a disk is mounted: the root of a volume of its own, not a link to a folder.
// (Windows gives the volume's path with a backslash at its end, Wine without.)
bool IsVolumeMountedAt(const std::wstring& folder)
{
    wchar_t volume[MAX_PATH] = {};
    return ::GetVolumePathNameW(folder.c_str(), volume, MAX_PATH) &&
           PathKey(WithoutBackslash(volume)) == PathKey(WithoutBackslash(folder));
}

// A symbolic link or a junction (a file or folder that stands for another): Windows marks both
// as reparse points, and so does Wine a symbolic link of its host. So are folders where a disk is
// mounted (and, under Wine, where a file system of the host is), which are no links.
bool IsLink(const std::wstring& path)
{
    const std::wstring name = WithoutBackslash(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    return !(attributes & FILE_ATTRIBUTE_DIRECTORY) || !IsVolumeMountedAt(name);
}

// Removes a link at folder's place (never what it points to); false, with its path in *failed,
// when it stays.
bool RemoveLink(const std::wstring& folder, std::wstring* failed)
{
    if (!IsLink(folder))
        return true;
    const std::wstring path = WithoutBackslash(folder);
    return RemoveEntry(path, ::GetFileAttributesW(path.c_str()), failed);
}

StagingOutcome Failed(StagingResult result, const std::wstring& path = std::wstring())
{
    StagingOutcome outcome;
    outcome.result = result;
    outcome.failedSource = path;
    return outcome;
}

// Copies source to target without ever writing into a file that is already there: that one may
// be a hard link whose other name is a file elsewhere. A free name is copied to directly (and
// only while it stays free); a taken one is replaced by name with a new copy made beside it.
bool CopyToName(const std::wstring& source, const std::wstring& target)
{
    if (::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES)
        return ::CopyFileW(source.c_str(), target.c_str(), TRUE) != FALSE;
    wchar_t fresh[MAX_PATH] = {};
    if (!::GetTempFileNameW(target.substr(0, target.rfind(L'\\')).c_str(), L"stg", 0, fresh))
        return false;
    if (::CopyFileW(source.c_str(), fresh, FALSE) &&
        ::ReplaceFileW(target.c_str(), fresh, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return true;
    ::DeleteFileW(fresh);
    return false;
}

} // namespace

std::wstring StagingBaseFolder()
{
    std::wstring path;
    for (int folder : {CSIDL_TEMPLATES, CSIDL_APPDATA}) {
        if (GetShellFolder(folder, path) && !path.empty())
            return path;
    }
    return std::wstring();
}

StagingOutcome PrepareStagingFolders(const StagingFolders& folders, bool* madeBoth)
{
    bool madeDestination = false;
    bool madeTools = false;
    if (madeBoth)
        *madeBoth = false;
    if (folders.destinationDirectory.empty())
        return Failed(StagingResult::DestinationFailed);
    // The staging folder in a linked base folder would be a folder of the user's (one named like
    // the drive in their home, say); the base folder is not the staging's to remove.
    if (IsLink(folders.baseFolder))
        return Failed(StagingResult::CopyFailed, WithoutBackslash(folders.baseFolder));
    std::wstring link;
    if (!RemoveLink(folders.destinationDirectory, &link))
        return Failed(StagingResult::CopyFailed, link);
    if (!EnsureFolder(folders.destinationDirectory, &madeDestination))
        return Failed(StagingResult::DestinationFailed);
    if (!RemoveLink(folders.toolsDirectory, &link))
        return Failed(StagingResult::CopyFailed, link);
    if (!EnsureFolder(folders.toolsDirectory, &madeTools))
        return Failed(StagingResult::ToolsFailed);
    if (madeBoth)
        *madeBoth = madeDestination && madeTools;
    return StagingOutcome();
}

StagingOutcome RemoveUnlistedFiles(const StagingFolders& folders, const StagingPlan& plan)
{
    StagingOutcome outcome;
    if (folders.destinationDirectory.empty())
        return outcome;
    StagingContents keep(folders, plan);
    if (!RemoveAllBut(folders.destinationDirectory, &keep, &outcome.failedSource))
        outcome.result = StagingResult::CopyFailed;
    return outcome;
}

StagingOutcome CopyStagingFiles(const StagingPlan& plan, const std::function<bool()>& cancelRequested, bool foldersNew)
{
    StagingOutcome outcome;
    for (const StagingFile& file : plan.files) {
        if (cancelRequested()) {
            outcome.result = StagingResult::Cancelled;
            return outcome;
        }
        outcome.failedSource = file.source;
        if (file.step == StagingStep::RefuseName) { // never touch a path outside the staging folder
            outcome.result = StagingResult::CopyFailed;
            return outcome;
        }
        if (!foldersNew) // in folders just made no earlier file can be in the way
            ClearReadOnly(file.target);
        if (file.step == StagingStep::SkipSuiteSetup)
            continue;
        const bool copied = foldersNew ? ::CopyFileW(file.source.c_str(), file.target.c_str(), FALSE) != FALSE
                                       : CopyToName(file.source, file.target);
        if (!copied) {
            outcome.result = StagingResult::CopyFailed;
            return outcome;
        }
        if (!IsExistFile(file.target)) {
            outcome.result = StagingResult::OpenFailed;
            return outcome;
        }
    }
    outcome.failedSource.clear();
    return outcome;
}

StagingOutcome StageListedFiles(const StagingFolders& folders, const StagingPlan& plan,
                                const std::function<bool()>& cancelRequested, bool foldersNew)
{
    StagingOutcome outcome = foldersNew ? StagingOutcome() : RemoveUnlistedFiles(folders, plan);
    if (outcome.result != StagingResult::Done)
        return outcome;
    return CopyStagingFiles(plan, cancelRequested, foldersNew);
}

} // namespace plug
