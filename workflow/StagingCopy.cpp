#include "StagingCopy.h"

#include "config/ModulePath.h"
#include "config/SystemFolders.h"
#include "framework/Handle.h"

#include <shlobj.h>

namespace plug {

namespace {

bool IsFoundBySearch(std::wstring path)
{
    if (!path.empty() && path.back() == L'\\')
        path.pop_back();
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

StagingResult PrepareStagingFolders(const StagingFolders& folders, bool* madeBoth)
{
    bool madeDestination = false;
    bool madeTools = false;
    if (madeBoth)
        *madeBoth = false;
    if (folders.destinationDirectory.empty() || !EnsureFolder(folders.destinationDirectory, &madeDestination))
        return StagingResult::DestinationFailed;
    if (!EnsureFolder(folders.toolsDirectory, &madeTools))
        return StagingResult::ToolsFailed;
    if (madeBoth)
        *madeBoth = madeDestination && madeTools;
    return StagingResult::Done;
}

StagingOutcome CopyStagingFiles(const StagingPlan& plan, const std::function<bool()>& cancelRequested,
                                bool foldersNew)
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
        if (!::CopyFileW(file.source.c_str(), file.target.c_str(), FALSE)) {
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

} // namespace plug
