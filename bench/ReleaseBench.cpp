// The release figures, as ratios of medians of interleaved runs under one Wine (scripts/bench.sh
// builds the programs, prepares the prefix and its CD drive R:, and runs this):
//   - a CD start with nothing to install of the release Plugstart.exe against two baselines
//     started from the same drive the same way: BenchTrivial.exe (an entry point that ends its
//     process, no runtime) and BenchFloor.exe (only the work that no such start can skip); each
//     from its start to the end of its process, as the starter sees it;
//   - where that start spends its time, from the program's own support log with time stamps
//     (PLUGSTART_TRACE=time), medians over more runs interleaved with the others;
//   - the staging copy of the release build against a bare CopyFileW loop: R:\StagingBench.exe,
//     run and reported here.
// Further programs on R: named on the command line (copies of another build of Plugstart.exe) are
// measured like the release program, in the same rounds: release_bench.exe [Other.exe ...].
// R: holds the release image with the simulated device in place of its Devpoke.dll, the
// stand-ins for the maker's installers and the benchmark's programs. The stand-ins install the
// driver and the kit first, and the simulated device answers with a wait time of 0, so no run
// waits for what the profile asks.
#include "BenchTiming.h"
#include "common/ChildProcess.h"
#include "common/TestFiles.h"
#include "sim/SimState.h"
#include "sim/programs/ProgramsLog.h"

#include "framework/Handle.h"

#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using bench::Median;
using bench::NowMs;
using bench::PairedRatios;
using bench::Quantile;

constexpr int kRounds = 41;
constexpr DWORD kRunLimitMs = 120000;
// The pause before each start, once the programs of the run before have gone: every program
// starts on a machine at rest, as a plug-in usually finds it, not beside the end of the last one.
constexpr DWORD kSettleMs = 100;

const wchar_t kCd[] = L"R:\\";

// How often the stand-ins' log says the kit's program logged action (start, exit).
int KitProgramActions(const wchar_t* action)
{
    int count = 0;
    for (const sim::ProgramAction& logged : sim::ReadProgramActions())
        count += logged.program == L"InternetKit.exe" && logged.action == action;
    return count;
}

// Waits until a kit program started after runsBefore starts has logged its start and its end
// (so that the next run does not find it running); false when that does not happen in time.
bool WaitForKitProgram(int runsBefore)
{
    for (DWORD waited = 0; waited < kRunLimitMs; waited += 20) {
        if (KitProgramActions(sim::kActionStart) > runsBefore && KitProgramActions(sim::kActionExit) > runsBefore)
            return true;
        ::Sleep(20);
    }
    return false;
}

// Whether a process of that program file name runs.
bool IsProgramRunning(const wchar_t* name)
{
    plug::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    if (!snapshot || !::Process32FirstW(snapshot.Get(), &entry))
        return false;
    do {
        if (::lstrcmpiW(entry.szExeFile, name) == 0)
            return true;
    } while (::Process32NextW(snapshot.Get(), &entry));
    return false;
}

// Waits until the kit's program of the run before has gone, then pauses kSettleMs.
void Settle()
{
    for (DWORD waited = 0; waited < kRunLimitMs && IsProgramRunning(L"InternetKit.exe"); waited += 10)
        ::Sleep(10);
    ::Sleep(kSettleMs);
}

// The simulated device on R: as plugged in: CD-ROM mode, answering the query with the flags 3F
// and a wait time of 0 ms, failing nothing.
void PlugInDevice()
{
    sim::DeviceState state;
    state.replyBytes[0] = 0x3F;
    state.replyBytes[1] = 0;
    state.replyBytes[2] = 0;
    sim::SaveDeviceState(L'R', state);
}

bool DeviceSwitched()
{
    sim::DeviceState state;
    return sim::LoadDeviceState(L'R', &state) && state.modemMode;
}

std::wstring TraceLogPath()
{
    wchar_t folder[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, folder);
    return std::wstring(folder) + L"Plugstart_trace.log";
}

// One moment of a run: when (ms on the performance counter) and what.
struct Moment {
    double ms = 0.0;
    std::string text;
};

// The stamped texts of a timed trace, in order (the lines that continue a text carry none).
std::vector<Moment> ReadTimedTrace(const std::string& log)
{
    std::vector<Moment> moments;
    size_t at = 0;
    while (at < log.size()) {
        size_t end = log.find('\n', at);
        std::string line = log.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? log.size() : end + 1;
        Moment moment;
        int consumed = 0;
        if (std::sscanf(line.c_str(), "[%lf ms] %n", &moment.ms, &consumed) != 1 || consumed == 0)
            continue;
        moment.text = line.substr(static_cast<size_t>(consumed));
        while (!moment.text.empty() && (moment.text.back() == '\r' || moment.text.back() == ' '))
            moment.text.pop_back();
        moments.push_back(moment);
    }
    return moments;
}

// A program the benchmark starts from the CD, and what it measured of it.
struct Contender {
    std::wstring file;
    std::string name;
    bool startsKit;  // it switches the device and starts the kit's program
    bool timedTrace; // the program's support log with time stamps is on
    std::vector<double> times;
    std::vector<std::vector<Moment>> runs; // timed trace: process start, stamped texts, process end
};

// One start of contender from R:\ and its wait; false when it fails or does not do its work.
bool RunOnce(Contender& contender, bool keep)
{
    PlugInDevice();
    int kitStartsBefore = KitProgramActions(sim::kActionStart);
    if (contender.timedTrace) {
        ::DeleteFileW(TraceLogPath().c_str());
        ::SetEnvironmentVariableW(L"PLUGSTART_TRACE", L"time");
    }
    double start = NowMs();
    plugtest::ChildProcess child = plugtest::ChildProcess::Start(std::wstring(kCd) + contender.file, L"", kCd);
    if (contender.timedTrace)
        ::SetEnvironmentVariableW(L"PLUGSTART_TRACE", nullptr);
    int code = child.IsStarted() ? child.Wait(kRunLimitMs) : -1;
    double end = NowMs();
    if (code != 0) {
        std::fprintf(stderr, "%ls ended with %d\n", contender.file.c_str(), code);
        return false;
    }
    if (contender.startsKit && (!DeviceSwitched() || !WaitForKitProgram(kitStartsBefore))) {
        std::fprintf(stderr, "%ls did not switch the device or start the kit's program (see C:\\plugstart_sim)\n",
                     contender.file.c_str());
        return false;
    }
    if (!keep)
        return true;
    contender.times.push_back(end - start);
    if (contender.timedTrace) {
        std::vector<Moment> run{{start, "process started"}};
        for (const Moment& moment : ReadTimedTrace(plugtest::ReadBinaryFile(TraceLogPath())))
            run.push_back(moment);
        run.push_back({end, "process ended (seen by its starter)"});
        contender.runs.push_back(run);
    }
    return true;
}

// Every contender once per round, the order turning each round, each on a settled machine;
// round 0 warms up.
bool MeasureInterleaved(std::vector<Contender>& contenders)
{
    const size_t count = contenders.size();
    for (int round = 0; round <= kRounds; ++round) {
        for (size_t turn = 0; turn < count; ++turn) {
            Settle();
            if (!RunOnce(contenders[(turn + static_cast<size_t>(round)) % count], round > 0))
                return false;
        }
    }
    return true;
}

bool SameSteps(const std::vector<Moment>& a, const std::vector<Moment>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].text != b[i].text)
            return false;
    }
    return true;
}

// Where the timed runs spent their time: for each step, the median time since the step before
// and since the start, over the runs that went through the same steps as the first.
void PrintBreakdown(const Contender& timed)
{
    if (timed.runs.empty())
        return;
    const std::vector<Moment>& first = timed.runs.front();
    std::vector<const std::vector<Moment>*> alike;
    for (const std::vector<Moment>& run : timed.runs) {
        if (SameSteps(run, first))
            alike.push_back(&run);
    }
    std::printf("\nWhere the CD start spends its time (its support log with time stamps, PLUGSTART_TRACE=time;\n"
                "medians of %zu of %zu runs that took the same steps; %.1f ms in all with the log):\n",
                alike.size(), timed.runs.size(), Median(timed.times));
    std::printf("  %9s %9s  %s\n", "step ms", "at ms", "the step ends with");
    for (size_t i = 0; i < first.size(); ++i) {
        std::vector<double> step;
        std::vector<double> since;
        for (const std::vector<Moment>* run : alike) {
            step.push_back(i == 0 ? 0.0 : (*run)[i].ms - (*run)[i - 1].ms);
            since.push_back((*run)[i].ms - (*run)[0].ms);
        }
        std::string text = first[i].text.size() > 90 ? first[i].text.substr(0, 87) + "..." : first[i].text;
        std::printf("  %9.1f %9.1f  %s\n", Median(step), Median(since), text.c_str());
    }
}

void PrintStartFigures(const std::vector<Contender>& contenders)
{
    const double trivialMs = Median(contenders[0].times);
    const double floorMs = Median(contenders[1].times);
    std::printf("CD starts from R: (medians of %d interleaved rounds, start to end of the process; the middle\n"
                "half of the runs between the quartiles)\n",
                kRounds);
    for (const Contender& contender : contenders) {
        if (contender.timedTrace)
            continue;
        double ms = Median(contender.times);
        std::printf("  %-46s %7.1f ms (%5.1f-%5.1f)   x trivial %5.2f   x floor %5.2f\n", contender.name.c_str(), ms,
                    Quantile(contender.times, 0.25), Quantile(contender.times, 0.75), ms / trivialMs, ms / floorMs);
    }
    std::printf("Each against the floor program started in the same round (the median of the %d rounds'\n"
                "ratios; the middle half of them between the quartiles):\n",
                kRounds);
    for (size_t i = 2; i < contenders.size(); ++i) {
        if (contenders[i].timedTrace)
            continue;
        std::vector<double> ratios = PairedRatios(contenders[i].times, contenders[1].times);
        std::printf("  %-46s x floor %5.2f (%4.2f-%4.2f)\n", contenders[i].name.c_str(), Median(ratios),
                    Quantile(ratios, 0.25), Quantile(ratios, 0.75));
    }
}

// Installs the driver and the kit with the stand-ins on the CD, at the versions config.ini gives.
bool InstallEverything()
{
    for (const wchar_t* setup : {L"DriverSetup.exe", L"InternetKitSetup.exe"}) {
        plugtest::ChildProcess child = plugtest::ChildProcess::Start(std::wstring(kCd) + setup, L"", kCd);
        if (!child.IsStarted() || child.Wait(kRunLimitMs) != 0) {
            std::fprintf(stderr, "%ls failed\n", setup);
            return false;
        }
    }
    return true;
}

// R:\StagingBench.exe, the release build's staging copy, with its figures passed on.
bool MeasureStaging()
{
    std::string output;
    int code = plugtest::RunAndCapture(std::wstring(kCd) + L"StagingBench.exe", L"", &output, kRunLimitMs);
    std::printf("\n%s", output.c_str());
    return code == 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<Contender> contenders = {
        {L"BenchTrivial.exe", "trivial program (entry point only, no runtime)", false, false, {}, {}},
        {L"BenchFloor.exe", "floor program (the work no start can skip)", true, false, {}, {}},
        {L"Plugstart.exe", "release Plugstart.exe, nothing to install", true, false, {}, {}},
        {L"Plugstart.exe", "the same with its timed support log", true, true, {}, {}},
    };
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        contenders.push_back(
            {std::wstring(name.begin(), name.end()), name + ", nothing to install", true, false, {}, {}});
    }
    if (!InstallEverything() || !MeasureInterleaved(contenders))
        return 1;
    PrintStartFigures(contenders);
    PrintBreakdown(contenders[3]);
    return MeasureStaging() ? 0 : 1;
}
