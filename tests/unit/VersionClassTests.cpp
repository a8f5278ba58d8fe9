// The Windows version class as programs see it in prefixes set to other Windows versions.
#include "common/ChildProcess.h"
#include "common/TestFiles.h"
#include "config/ModulePath.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

using namespace plugtest;

namespace {

struct ProbeResult {
    int versionClass = -100;
    int vista = -100;
    int wow64 = -100;
};

// Runs a copy of probe named so that the prefix reports windowsVersion to it.
ProbeResult RunProbeAs(const std::wstring& probe, const std::wstring& windowsVersion)
{
    std::wstring copy = CopyAsWindowsVersion(plug::GetModuleDirectory() + probe + L".exe", windowsVersion);
    std::string output;
    ProbeResult result;
    if (RunAndCapture(copy, L"", &output) == 0)
        std::sscanf(output.c_str(), "%d %d %d", &result.versionClass, &result.vista, &result.wow64);
    RemoveFileForced(copy);
    return result;
}

} // namespace

TEST(WindowsVersionClass, WindowsXpIsClassSixAndNotVista)
{
    ProbeResult xp = RunProbeAs(L"VersionProbe", L"winxp");
    EXPECT_EQ(6, xp.versionClass);
    EXPECT_EQ(0, xp.vista);
}

TEST(WindowsVersionClass, Windows7IsClassEightAndVista)
{
    ProbeResult seven = RunProbeAs(L"VersionProbe", L"win7");
    EXPECT_EQ(8, seven.versionClass);
    EXPECT_EQ(1, seven.vista);
}

TEST(WindowsVersionClass, ServerClassesMapByMinorVersion)
{
    EXPECT_EQ(5, RunProbeAs(L"VersionProbe", L"win2k").versionClass);
    EXPECT_EQ(7, RunProbeAs(L"VersionProbe", L"win2003").versionClass);
    EXPECT_EQ(8, RunProbeAs(L"VersionProbe", L"vista").versionClass);
}

// Without a compatibility declaration Windows 10 reports 6.2, which keeps the program in the
// Vista class; a program that declares Windows 10 sees 10.0 and falls out of every class.
TEST(WindowsVersionClass, ProgramManifestKeepsWindows10InVistaClass)
{
    ProbeResult plain = RunProbeAs(L"VersionProbe", L"win10");
    EXPECT_EQ(8, plain.versionClass);
    EXPECT_EQ(1, plain.vista);

    ProbeResult aware = RunProbeAs(L"Win10AwareProbe", L"win10");
    EXPECT_EQ(-1, aware.versionClass);
    EXPECT_EQ(0, aware.vista);
}

TEST(WindowsVersionClass, Wow64FlagIsZeroOrOne)
{
    ProbeResult probe = RunProbeAs(L"VersionProbe", L"win7");
    EXPECT_TRUE(probe.wow64 == 0 || probe.wow64 == 1) << probe.wow64;
#ifdef _WIN64
    EXPECT_EQ(0, probe.wow64); // a 64-bit process never runs under WOW64
#endif
}
