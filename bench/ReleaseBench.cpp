// The release figures, as ratios of medians of repeated runs under one Wine (scripts/bench.sh
// prepares the prefix and runs it):
//   - a CD start with nothing to install, from the start of R:\Plugstart.exe to the end of that
//     process, which has started the connection software by then, against starting and ending a
//     trivial Win32 process;
//   - the staging copy of the files that config.ini lists (the program's own staging code)
//     against a bare CopyFileW loop over the same files.
// R: is a CD-ROM drive holding the test build's device image: the simulated device and the
// stand-ins for the maker's installers. The stand-ins install the driver and the kit first, and the
// simulated device answers with a wait time of 0, so the runs wait for nothing the profile asks.
#include "common/ChildProcess.h"
#include "common/TestFiles.h"
#include "config/ConfigText.h"
#include "sim/SimFiles.h"
#include "sim/SimState.h"
#include "sim/programs/ProgramsLog.h"
#include "workflow/StagingCopy.h"
#include "workflow/StagingPlan.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kProgramRuns = 11;
constexpr int kCopyRuns = 21;
constexpr DWORD kRunLimitMs = 120000;

const wchar_t kCd[] = L"R:\\";
const wchar_t kStagingBase[] = L"C:\\bench_staging";

double NowMs()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER now;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Runs program (arguments after its quoted path) and waits for it; false when it does not end
// in time or ends with another exit code than expected.
bool RunToEnd(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder, int expected = 0)
{
    plugtest::ChildProcess child = plugtest::ChildProcess::Start(program, arguments, folder);
    int code = child.IsStarted() ? child.Wait(kRunLimitMs) : -1;
    if (code != expected)
        std::fprintf(stderr, "%ls ended with %d (expected %d)\n", program.c_str(), code, expected);
    return code == expected;
}

// How often the stand-ins' log says the kit's program logged action (start, exit).
int KitProgramActions(const wchar_t* action)
{
    int count = 0;
    for (const sim::ProgramAction& logged : sim::ReadProgramActions())
        count += logged.program == L"InternetKit.exe" && logged.action == action;
    return count;
}

// Waits until the kit's program started by a run has logged its start and its end (so that the
// next run does not find it running); false when that does not happen within the limit.
bool WaitForKitProgram(int runsBefore)
{
    for (DWORD waited = 0; waited < kRunLimitMs; waited += 20) {
        if (KitProgramActions(sim::kActionStart) > runsBefore && KitProgramActions(sim::kActionExit) > runsBefore)
            return true;
        ::Sleep(20);
    }
    return false;
}

// The simulated device on R: as plugged in: CD-ROM mode, answering the query with the flags 3F
// and a wait time of 0 ms, failing nothing. (A mode change leaves it in modem mode.)
void PlugInDevice()
{
    sim::DeviceState state;
    state.replyBytes[0] = 0x3F;
    state.replyBytes[1] = 0;
    state.replyBytes[2] = 0;
    sim::SaveDeviceState(L'R', state);
}

std::wstring CdConfigValue(const wchar_t* section, const std::wstring& key)
{
    wchar_t value[260] = {};
    ::GetPrivateProfileStringW(section, key.c_str(), L"", value, 260, (std::wstring(kCd) + L"config.ini").c_str());
    return value;
}

// The staging list as the staging dialog reads it from the CD's config.ini, with the English
// language file.
plug::StagingList CdStagingList()
{
    return plug::ReadStagingList(CdConfigValue, kCd, plug::LeadingDigitsToInt(CdConfigValue(L"ITK", L"itk_type")),
                                 CdConfigValue(L"ITK", L"itk_setup"), L"tools\\lang_AutoRun_eng.opt");
}

bool StageOnce(const plug::StagingFolders& folders, const plug::StagingList& list)
{
    if (plug::PrepareStagingFolders(folders) != plug::StagingResult::Done)
        return false;
    plug::StagingPlan plan = plug::MakeStagingPlan(folders, list);
    return plug::CopyStagingFiles(plan, [] { return false; }).result == plug::StagingResult::Done;
}

bool CopyLoopOnce(const plug::StagingFolders& folders, const std::vector<plug::StagingFile>& files)
{
    ::CreateDirectoryW(folders.destinationDirectory.c_str(), nullptr);
    ::CreateDirectoryW(folders.toolsDirectory.c_str(), nullptr);
    for (const plug::StagingFile& file : files) {
        if (!::CopyFileW(file.source.c_str(), file.target.c_str(), FALSE))
            return false;
    }
    return true;
}

// Start and end of this program in its trivial mode.
bool MeasureTrivialProcess(std::vector<double>* times)
{
    for (int run = 0; run <= kProgramRuns; ++run) { // the first run warms up
        double start = NowMs();
        if (!RunToEnd(plugtest::ThisExecutable(), L"--trivial", L""))
            return false;
        if (run > 0)
            times->push_back(NowMs() - start);
    }
    return true;
}

// CD starts with everything installed beforehand, by the stand-ins on the CD, at the versions
// config.ini gives.
bool MeasureCdStart(std::vector<double>* times)
{
    if (!RunToEnd(std::wstring(kCd) + L"DriverSetup.exe", L"", kCd) ||
        !RunToEnd(std::wstring(kCd) + L"InternetKitSetup.exe", L"", kCd))
        return false;
    for (int run = 0; run <= kProgramRuns; ++run) {
        PlugInDevice();
        int runsBefore = KitProgramActions(sim::kActionStart);
        double start = NowMs();
        if (!RunToEnd(std::wstring(kCd) + L"Plugstart.exe", L"", kCd))
            return false;
        double elapsed = NowMs() - start;
        if (!WaitForKitProgram(runsBefore)) {
            std::fprintf(stderr, "the CD start did not start the kit's program (see %ls)\n", sim::kStateFolder);
            return false;
        }
        if (run > 0)
            times->push_back(elapsed);
    }
    return true;
}

// The staging of the CD's listed files into a fresh staging folder, and a bare copy loop over
// the files it copies; the folder is removed before each run, outside the timing.
bool MeasureStaging(std::vector<double>* staging, std::vector<double>* copyLoop, size_t* fileCount)
{
    plug::StagingList list = CdStagingList();
    plug::StagingFolders folders = plug::MakeStagingFolders(kCd, kStagingBase);
    std::vector<plug::StagingFile> copies;
    for (const plug::StagingFile& file : plug::MakeStagingPlan(folders, list).files) {
        if (file.step == plug::StagingStep::Copy)
            copies.push_back(file);
    }
    *fileCount = copies.size();
    ::CreateDirectoryW(kStagingBase, nullptr); // stands for the Templates folder, which is there
    bool copied = true;
    for (int run = 0; copied && run <= kCopyRuns; ++run) {
        plugtest::RemoveTree(folders.destinationDirectory);
        double start = NowMs();
        copied = StageOnce(folders, list);
        if (run > 0)
            staging->push_back(NowMs() - start);
        plugtest::RemoveTree(folders.destinationDirectory);
        start = NowMs();
        copied = copied && CopyLoopOnce(folders, copies);
        if (run > 0)
            copyLoop->push_back(NowMs() - start);
    }
    plugtest::RemoveTree(kStagingBase);
    if (!copied)
        std::fprintf(stderr, "a staging or a copy failed\n");
    return copied;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--trivial") == 0)
        return 0;

    std::vector<double> trivial;
    std::vector<double> cdStart;
    std::vector<double> staging;
    std::vector<double> copyLoop;
    size_t files = 0;
    if (!MeasureTrivialProcess(&trivial) || !MeasureCdStart(&cdStart) || !MeasureStaging(&staging, &copyLoop, &files))
        return 1;

    double trivialMs = Median(trivial);
    double cdStartMs = Median(cdStart);
    double stagingMs = Median(staging);
    double copyLoopMs = Median(copyLoop);
    std::printf("Release figures under Wine (medians: %d program runs, %d copy runs)\n", kProgramRuns, kCopyRuns);
    std::printf("  trivial Win32 process, start to end         %9.1f ms\n", trivialMs);
    std::printf("  CD start with nothing to install           %9.1f ms   ratio %6.2f\n", cdStartMs,
                cdStartMs / trivialMs);
    std::printf("  bare CopyFileW loop, %2zu files               %9.2f ms\n", files, copyLoopMs);
    std::printf("  staging copy of the same files              %9.2f ms   ratio %6.2f\n", stagingMs,
                stagingMs / copyLoopMs);
    return 0;
}
