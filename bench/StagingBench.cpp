// The staging copy of the release build against a bare CopyFileW loop over the same files, in
// interleaved runs (the order turning each run): the medians and the median of the runs' own
// ratios. Beside them the loop that also opens each copy afterwards, the least a staging that
// reports a copy it cannot open (failure 005) must do. Started from the CD beside the program
// (the benchmark starts it from R:), it reads the CD's config.ini as the staging dialog does and
// copies into a fresh staging folder under C:\bench_staging, removed before each run outside the
// timing. Prints its figures; exits 1 when a staging or a copy fails.
#include "BenchTiming.h"
#include "config/ConfigFile.h"
#include "config/ConfigText.h"
#include "config/Language.h"
#include "config/ModulePath.h"
#include "workflow/StagingCopy.h"
#include "workflow/StagingPlan.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using bench::Median;
using bench::NowMs;
using bench::PairedRatios;
using bench::Quantile;

// A run copies some ten files in a few milliseconds, which the machine's other work disturbs
// easily: many runs, and each compared with the loop run beside it.
constexpr int kRuns = 201;
const wchar_t kStagingBase[] = L"C:\\bench_staging";

// The staging list as the staging dialog reads it from the CD.
plug::StagingList CdStagingList()
{
    auto config = [](const wchar_t* section, const std::wstring& key) {
        return plug::GetConfigValue(nullptr, section, key);
    };
    return plug::ReadStagingList(config, plug::GetModuleDirectory(),
                                 plug::LeadingDigitsToInt(config(L"ITK", L"itk_type")), config(L"ITK", L"itk_setup"),
                                 plug::SelectLanguageFile());
}

// Removes what a staging or a copy loop left (the copies keep the CD's read-only attribute).
void RemoveStagedFiles(const plug::StagingFolders& folders, const plug::StagingPlan& plan)
{
    for (const plug::StagingFile& file : plan.files) {
        ::SetFileAttributesW(file.target.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(file.target.c_str());
    }
    ::RemoveDirectoryW(folders.toolsDirectory.c_str());
    ::RemoveDirectoryW(folders.destinationDirectory.c_str());
}

// The staging dialog's work without the dialog: the folders, the plan, the removal of what the
// plan does not list, and the copies.
bool StageOnce(const plug::StagingFolders& folders, const plug::StagingList& list)
{
    bool foldersNew = false;
    if (plug::PrepareStagingFolders(folders, &foldersNew).result != plug::StagingResult::Done)
        return false;
    plug::StagingPlan plan = plug::MakeStagingPlan(folders, list);
    return plug::StageListedFiles(
               folders, plan, [] { return false; }, foldersNew)
               .result == plug::StagingResult::Done;
}

// CopyFileW over the files, each copy opened afterwards when openEach.
bool CopyLoopOnce(const plug::StagingFolders& folders, const std::vector<plug::StagingFile>& copies, bool openEach)
{
    ::CreateDirectoryW(folders.destinationDirectory.c_str(), nullptr);
    ::CreateDirectoryW(folders.toolsDirectory.c_str(), nullptr);
    for (const plug::StagingFile& file : copies) {
        if (!::CopyFileW(file.source.c_str(), file.target.c_str(), FALSE))
            return false;
        if (openEach && !plug::IsExistFile(file.target))
            return false;
    }
    return true;
}

enum Contender { kStaging, kCopyLoop, kOpeningLoop, kContenders };

} // namespace

int main()
{
    plug::StagingList list = CdStagingList();
    plug::StagingFolders folders = plug::MakeStagingFolders(plug::GetModuleDirectory(), kStagingBase);
    plug::StagingPlan plan = plug::MakeStagingPlan(folders, list);
    std::vector<plug::StagingFile> copies;
    for (const plug::StagingFile& file : plan.files) {
        if (file.step == plug::StagingStep::Copy)
            copies.push_back(file);
    }
    ::CreateDirectoryW(kStagingBase, nullptr); // stands for the Templates folder, which is there
    std::vector<double> times[kContenders];
    bool copied = true;
    for (int run = 0; copied && run <= kRuns; ++run) { // run 0 warms up; the order turns
        for (int turn = 0; copied && turn < kContenders; ++turn) {
            const int contender = (turn + run) % kContenders;
            RemoveStagedFiles(folders, plan);
            double start = NowMs();
            copied = contender == kStaging ? StageOnce(folders, list)
                                           : CopyLoopOnce(folders, copies, contender == kOpeningLoop);
            double elapsed = NowMs() - start;
            if (run > 0)
                times[contender].push_back(elapsed);
        }
    }
    RemoveStagedFiles(folders, plan);
    ::RemoveDirectoryW(kStagingBase);
    if (!copied) {
        std::printf("a staging or a copy failed\n");
        return 1;
    }
    const std::vector<double>& loop = times[kCopyLoop];
    std::printf("The staging copy (medians of %d interleaved runs each, the middle half between the quartiles;\n"
                "x loop: the median of the runs' ratios to the loop run beside them, with their quartiles)\n",
                kRuns);
    std::printf("  bare CopyFileW loop, %2zu files               %7.2f ms (%5.2f-%5.2f)\n", copies.size(), Median(loop),
                Quantile(loop, 0.25), Quantile(loop, 0.75));
    const struct {
        Contender contender;
        const char* name;
    } compared[] = {{kOpeningLoop, "the loop opening each copy after it"},
                    {kStaging, "staging copy of the same files"}};
    for (const auto& row : compared) {
        const std::vector<double>& own = times[row.contender];
        std::vector<double> ratios = PairedRatios(own, loop);
        std::printf("  %-40s %7.2f ms (%5.2f-%5.2f)   x loop %5.3f (%5.3f-%5.3f)\n", row.name, Median(own),
                    Quantile(own, 0.25), Quantile(own, 0.75), Median(ratios), Quantile(ratios, 0.25),
                    Quantile(ratios, 0.75));
    }
    return 0;
}
