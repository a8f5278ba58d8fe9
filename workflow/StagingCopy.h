// Carrying out a staging plan on the PC: the base folder, the staging folders, the copies.
#pragma once

#include "StagingPlan.h"

#include <functional>
#include <string>

namespace plug {

// The user's Templates folder, else the application-data folder (neither is created); empty
// when neither can be obtained.
std::wstring StagingBaseFolder();

enum class StagingResult {
    Done,
    Cancelled,
    DestinationFailed, // the staging folder cannot be created
    ToolsFailed,       // its tools folder cannot be created
    CopyFailed,        // a file cannot be copied (or its name is refused, or a leftover removed)
    OpenFailed,        // a copied file cannot be opened afterwards
};

struct StagingOutcome {
    StagingResult result = StagingResult::Done;
    std::wstring failedSource; // the file of a copy or open failure (a leftover: its path on the PC)
};

// Makes the staging folder and its tools folder when a search does not find them. *madeBoth
// (when given): both were made now, so that no file is in them yet.
StagingResult PrepareStagingFolders(const StagingFolders& folders, bool* madeBoth = nullptr);

// Removes everything in the staging folder that plan does not copy there (files and folders,
// read-only ones too; a link is removed, never followed, even under a listed name), so that the
// folder holds only what the CD puts there: the setups run from it, and a library planted there
// would be loaded by them. Something that cannot be removed is a copy failure with its path.
StagingOutcome RemoveUnlistedFiles(const StagingFolders& folders, const StagingPlan& plan);

// Copies the files of plan in order, overwriting (a read-only file left by an earlier staging
// loses that attribute first; foldersNew: the folders were made just now and hold no file, so
// none is looked for). cancelRequested is asked before each file; a cancel stops at once and
// leaves what was copied.
StagingOutcome CopyStagingFiles(const StagingPlan& plan, const std::function<bool()>& cancelRequested,
                                bool foldersNew = false);

// The staging's work in its folders: RemoveUnlistedFiles (not in folders made just now, which hold
// nothing), then CopyStagingFiles.
StagingOutcome StageListedFiles(const StagingFolders& folders, const StagingPlan& plan,
                                const std::function<bool()>& cancelRequested, bool foldersNew);

} // namespace plug
