#include "StagingPlan.h"

#include "run/ResDefineCommand.h"
#include "config/ConfigText.h"
#include "config/RelativeName.h"

namespace plug {

namespace {

// File names are compared as Windows compares them in the common case: ASCII letters fold.
std::wstring LowerAscii(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return text;
}

// The program the staging starts: a listed name that holds "Plugstart.exe" in any case (Windows
// finds the file whatever its case, and so does the copy).
bool NamesTheProgram(const std::wstring& name) { return LowerAscii(name).find(L"plugstart.exe") != std::wstring::npos; }

bool IsSuiteSetup(const std::wstring& source, const StagingList& list)
{
    // An empty installer name would match every path and stage nothing.
    return list.kitType == TYPE_PCSYNC && !list.kitSetupName.empty() &&
           LowerAscii(source).find(LowerAscii(list.kitSetupName)) != std::wstring::npos;
}

} // namespace

StagingFolders MakeStagingFolders(const std::wstring& sourceDirectory, const std::wstring& baseFolder)
{
    StagingFolders folders;
    if (sourceDirectory.empty() || baseFolder.empty())
        return folders;
    folders.driveLetter = sourceDirectory[0];
    folders.baseFolder = baseFolder;
    folders.destinationDirectory = baseFolder + L"\\" + folders.driveLetter + L"\\";
    folders.toolsDirectory = folders.destinationDirectory + L"tools\\";
    return folders;
}

StagingList ReadStagingList(const ConfigLookup& config, const std::wstring& sourceDirectory, int kitType,
                            const std::wstring& kitSetupName, const std::wstring& languageFile)
{
    StagingList list;
    list.sourceDirectory = sourceDirectory;
    int count = LeadingDigitsToInt(config(L"FILES", L"filecount"));
    for (int i = 0; i < count; ++i) {
        std::wstring name = config(L"FILES", (i < 10 ? L"file0" : L"file") + DecimalText(i));
        list.listedFiles.push_back(name);
        if (name.empty())
            break;
    }
    list.languageFile = languageFile;
    list.kitType = kitType;
    list.kitSetupName = kitSetupName;
    return list;
}

StagingPlan MakeStagingPlan(const StagingFolders& folders, const StagingList& list)
{
    StagingPlan plan;
    std::vector<std::wstring> names = list.listedFiles;
    names.push_back(list.languageFile);
    for (const std::wstring& name : names) {
        StagingFile file;
        file.source = list.sourceDirectory + name;
        file.target = folders.destinationDirectory + name;
        if (!IsContainedRelativeName(name) || folders.destinationDirectory.empty())
            file.step = StagingStep::RefuseName;
        else if (IsSuiteSetup(file.source, list))
            file.step = StagingStep::SkipSuiteSetup;
        else if (NamesTheProgram(name))
            plan.relaunchProgram = file.target;
        plan.files.push_back(file);
        if (file.step == StagingStep::RefuseName)
            break; // the staging stops there
    }
    if (!plan.relaunchProgram.empty())
        plan.relaunchParameters = std::wstring(L"-l ") + folders.driveLetter;
    return plan;
}

bool StartsNothing(const StagingPlan& plan)
{
    bool stopsAtRefusedName = !plan.files.empty() && plan.files.back().step == StagingStep::RefuseName;
    return plan.relaunchProgram.empty() && !stopsAtRefusedName;
}

} // namespace plug
