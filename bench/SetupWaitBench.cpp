// Prints what following a setup's processes costs when the setup starts none: the driver setup
// stand-in (no hold), started through the shell and waited for as before (its process alone)
// and as now (the process, then the processes it started), in interleaved rounds:
//   WINEPREFIX=... scripts/wine-exec.sh build/test/bench/setup_wait_bench.exe [ROUNDS]
// The stand-in installs its driver into the prefix each time; it is removed again at the end.
#include "BenchTiming.h"

#include "common/FakeInstallation.h"
#include "common/ScopedRegistry.h"
#include "common/StandIns.h"
#include "common/TestFiles.h"
#include "framework/ProcessStart.h"
#include "framework/StartedProgram.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Times {
    std::vector<double> whole;    // from the start to the judgement
    std::vector<double> start;    // the start alone (with the job and the first look, as now)
    std::vector<double> afterEnd; // from the setup's end to the judgement
};

void PrintLine(const char* what, const std::vector<double>& times)
{
    std::printf("  %-46s %8.2f ms (%.2f-%.2f)\n", what, bench::Median(times), bench::Quantile(times, 0.25),
                bench::Quantile(times, 0.75));
}

double EndedAt(HANDLE process)
{
    // The setup's end as the wait sees it: a wait on the process alone, right after it.
    ::WaitForSingleObject(process, INFINITE);
    return bench::NowMs();
}

void RunAsBefore(const std::wstring& setup, Times* times)
{
    double begin = bench::NowMs();
    plug::UniqueHandle process = plug::StartProgram(setup, L"", SW_SHOWNORMAL);
    double started = bench::NowMs();
    plug::WaitForProcessEnd(process.Get());
    double judged = bench::NowMs();
    times->whole.push_back(judged - begin);
    times->start.push_back(started - begin);
}

void RunAsNow(const std::wstring& setup, Times* times)
{
    double begin = bench::NowMs();
    plug::StartedProgram program = plug::StartedProgram::Start(setup, L"", SW_SHOWNORMAL);
    double started = bench::NowMs();
    double ended = EndedAt(program.Process());
    plug::ProgramWait waited = plug::WaitForProgramWork(program, INFINITE, 600000);
    double judged = bench::NowMs();
    if (waited.descendants != 0)
        std::printf("  (the setup started %u processes)\n", waited.descendants);
    times->whole.push_back(judged - begin);
    times->start.push_back(started - begin);
    times->afterEnd.push_back(judged - ended);
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? std::atoi(argv[1]) : 41;
    plugtest::TempDir folder;
    plugtest::ScopedStandIns standIns;
    plugtest::ScopedRegistry registry;
    plugtest::ScopedFiles files;
    plugtest::ClaimWhatInstallersMayMake(registry, files);
    std::wstring setup = plugtest::PlaceStandIn(L"SimDriverSetup", folder.Path(), L"DriverSetup.exe");

    Times before;
    Times now;
    RunAsBefore(setup, &before); // warm-up, not counted
    RunAsNow(setup, &now);
    before = Times();
    now = Times();
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) {
            RunAsBefore(setup, &before);
            RunAsNow(setup, &now);
        } else {
            RunAsNow(setup, &now);
            RunAsBefore(setup, &before);
        }
    }
    std::printf("The driver setup stand-in without hold, %d interleaved rounds: median (quartiles)\n", rounds);
    PrintLine("start and wait, the process alone (before)", before.whole);
    PrintLine("start and wait, with what it started (now)", now.whole);
    std::vector<double> ratios = bench::PairedRatios(now.whole, before.whole);
    std::printf("  %-46s %8.3f (%.3f-%.3f)\n", "now / before, round by round", bench::Median(ratios),
                bench::Quantile(ratios, 0.25), bench::Quantile(ratios, 0.75));
    PrintLine("the start alone (before)", before.start);
    PrintLine("the start alone, with the job and first look (now)", now.start);
    PrintLine("from the setup's end to the judgement (now)", now.afterEnd);
    return 0;
}
