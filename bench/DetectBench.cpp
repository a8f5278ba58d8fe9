// Prints how long the detection calls take beside the time of starting and ending a trivial
// process under the same Wine:
//   WINEPREFIX=... scripts/wine-exec.sh build/test64/bench/detect_bench.exe
// It installs a QCT driver and the Internet Kit in the prefix's registry and folders for the
// run and removes them afterwards.
#include "app/SystemInfo.h"
#include "common/ChildProcess.h"
#include "common/FakeInstallation.h"
#include "common/TestFiles.h"
#include "config/ModulePath.h"
#include "process/ProcessLookup.h"
#include "common/FakeRunHost.h"
#include "detect/Detector.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr int kRuns = 21;

double Milliseconds(LONGLONG ticks)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

// The median time of action over kRuns runs, after one run to warm up, in milliseconds.
double MedianMs(const std::function<void()>& action)
{
    action();
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        LARGE_INTEGER start;
        LARGE_INTEGER end;
        ::QueryPerformanceCounter(&start);
        action();
        ::QueryPerformanceCounter(&end);
        times.push_back(Milliseconds(end.QuadPart - start.QuadPart));
    }
    std::sort(times.begin(), times.end());
    return times[kRuns / 2];
}

// Starts this program in its trivial mode and waits for its end.
void StartAndEndTrivialProcess()
{
    plugtest::ChildProcess child = plugtest::ChildProcess::Start(plugtest::ThisExecutable(), L"--trivial");
    child.Wait();
}

int ProcessCount()
{
    DWORD ids[2048];
    DWORD bytes = 0;
    return ::EnumProcesses(ids, sizeof(ids), &bytes) ? static_cast<int>(bytes / sizeof(DWORD)) : -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--trivial") == 0)
        return 0;

    plugtest::ScopedFile config(plug::GetModuleDirectory() + L"config.ini");
    plugtest::WriteUtf16File(config.Path(), L"[DRIVER]\ndriver_version=1.0.0.9\n[ITK]\nitk_type=1\nitk_version=\n");
    plugtest::FakeInstallation install;
    install.InstallQctDriver(L"1.0.0.9");
    install.InstallNorvoKit();

    RunState run;
    run.m_nWow64 = plug::IsWow64();
    plugtest::FakeRunHost host;
    CDetector detect(run, host);
    BOOL answers[4] = {};
    auto detectionCalls = [&] {
        answers[0] = detect.IsRequireUpDrv(DRIVERTYPE_QCT);
        answers[1] = detect.IsRequireUpITK(ITKTYPE_NorvoITK);
        answers[2] = detect.IsInstalledDriver(DRIVERTYPE_QCT);
        answers[3] = detect.IsInstalledITK(ITKTYPE_NorvoITK);
    };

    double processMs = MedianMs(StartAndEndTrivialProcess);
    double lookupMs = MedianMs([] { plug::TechFindProcess(L"C:\\No Such Folder\\No Such Program.exe"); });
    double detectionMs = MedianMs(detectionCalls);

    std::printf("Detection timings under Wine, median of %d runs (64-bit flag %d, %d processes running)\n", kRuns,
                run.m_nWow64, ProcessCount());
    std::printf("  start and end of a trivial process          %8.3f ms\n", processMs);
    std::printf("  TechFindProcess, one call (no match)        %8.3f ms   ratio %.3f\n", lookupMs,
                lookupMs / processMs);
    std::printf("  system check's four detection calls         %8.3f ms   ratio %.3f\n", detectionMs,
                detectionMs / processMs);
    std::printf("  answers: bRequireUpDrv=%d bRequireUpITK=%d bInstalledDrv=%d bInstalledITK=%d\n", answers[0],
                answers[1], answers[2], answers[3]);
    return 0;
}
