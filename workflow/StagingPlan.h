// What the staging copies from the device's CD to the PC, where to, and what it starts then.
// Portable: no Windows headers.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace plug {

// Where the files go: a folder named by the CD's drive letter in the base folder (the user's
// Templates or application-data folder), with its "tools" subfolder.
struct StagingFolders {
    wchar_t driveLetter = 0;           // first character of the CD's program folder
    std::wstring baseFolder;           // the user's folder that holds the staging folder
    std::wstring destinationDirectory; // base\X\ (empty when the program folder is unknown)
    std::wstring toolsDirectory;       // base\X\tools\ .
};

StagingFolders MakeStagingFolders(const std::wstring& sourceDirectory, const std::wstring& baseFolder);

enum class StagingStep {
    Copy,           // copy source to target, overwriting
    SkipSuiteSetup, // the PC-suite installer stays on the CD
    RefuseName,     // the name would reach outside the staging folder: a copy failure
};

struct StagingFile {
    std::wstring source;
    std::wstring target;
    StagingStep step = StagingStep::Copy;
};

struct StagingPlan {
    std::vector<StagingFile> files;  // the listed files in their order, then the language file
    std::wstring relaunchProgram;    // the copied program to start; empty when none was listed
    std::wstring relaunchParameters; // "-l" and the CD's drive letter
};

struct StagingList {
    std::wstring sourceDirectory;          // the program folder on the CD, with its backslash
    std::vector<std::wstring> listedFiles; // FILES file00, file01, ... relative to it
    std::wstring languageFile;             // relative name of the language file
    int kitType = 0;
    std::wstring kitSetupName; // the kit installer's file name from the profile
};

// A value of the configuration file by section and key; empty when it has none.
using ConfigLookup = std::function<std::wstring(const wchar_t* section, const std::wstring& key)>;

// The staging list that the configuration gives: FILES filecount (its leading digits) names
// file00, file01, ..., read up to and with the first empty name (the staging fails there).
StagingList ReadStagingList(const ConfigLookup& config, const std::wstring& sourceDirectory, int kitType,
                            const std::wstring& kitSetupName, const std::wstring& languageFile);

// Every file of list in the order they are copied. A name that is absolute or climbs out of the
// folder is refused. For the PC suite (kit type 2) a file whose source path holds the kit
// installer's name, without regard to case, is skipped. The program to start is the last copied
// file whose listed name holds "Plugstart.exe", without regard to case.
StagingPlan MakeStagingPlan(const StagingFolders& folders, const StagingList& list);

// Whether the plan would copy files and then start nothing: the configuration lists no program
// (an empty or unreadable config.ini, one without its FILES section). A plan that stops at a
// refused name fails there instead.
bool StartsNothing(const StagingPlan& plan);

} // namespace plug
