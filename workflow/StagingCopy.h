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
// (when given): both were made now, so that no file is in them yet. The staging never works
// through a link (a symbolic link or a junction), which would make a folder of the user's its
// own: a link in the place of either folder is removed first (never followed), and a base
// folder that is a link is refused. Either is a copy failure with the link's path.
StagingOutcome PrepareStagingFolders(const StagingFolders& folders, bool* madeBoth = nullptr);

// Removes everything in the staging folder that plan does not copy there (files and folders,
// read-only ones too; a link is removed, never followed, even under a listed name), so that the
// folder holds only what the CD puts there: the setups run from it, and a library planted there
// would be loaded by them. Something that cannot be removed is a copy failure with its path.
StagingOutcome RemoveUnlistedFiles(const StagingFolders& folders, const StagingPlan& plan);

// Copies the files of plan in order. A file already under a target's name (left by an earlier
// staging; a read-only one loses that attribute first) is replaced by name, never written into:
// it may be a hard link to a file elsewhere. foldersNew: the folders were made just now and hold
// no file, so none is looked for. cancelRequested is asked before each file; a cancel stops at
// once and leaves what was copied.
StagingOutcome CopyStagingFiles(const StagingPlan& plan, const std::function<bool()>& cancelRequested,
                                bool foldersNew = false);

// The staging's work in its folders: RemoveUnlistedFiles (not in folders made just now, which hold
// nothing), then CopyStagingFiles.
StagingOutcome StageListedFiles(const StagingFolders& folders, const StagingPlan& plan,
                                const std::function<bool()>& cancelRequested, bool foldersNew);

} // namespace plug
