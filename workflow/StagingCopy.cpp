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

bool EnsureFolder(const std::wstring& folder)
{
    return IsFoundBySearch(folder) || ::CreateDirectoryW(folder.c_str(), nullptr);
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

StagingResult PrepareStagingFolders(const StagingFolders& folders)
{
    if (folders.destinationDirectory.empty() || !EnsureFolder(folders.destinationDirectory))
        return StagingResult::DestinationFailed;
    if (!EnsureFolder(folders.toolsDirectory))
        return StagingResult::ToolsFailed;
    return StagingResult::Done;
}

StagingOutcome CopyStagingFiles(const StagingPlan& plan, const std::function<bool()>& cancelRequested)
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
