// The main of every Windows test executable: runs a child mode when asked, else the tests.
#include "ChildProcess.h"

#include <gtest/gtest.h>
#include <shellapi.h>

int main(int argc, char** argv)
{
    int wideCount = 0;
    wchar_t** wideArgs = ::CommandLineToArgvW(::GetCommandLineW(), &wideCount);
    int exitCode = 0;
    bool childMode = wideArgs && plugtest::RunChildModeIfAsked(wideCount, wideArgs, &exitCode);
    ::LocalFree(wideArgs);
    if (childMode)
        return exitCode;
    // Crashes must end the test run, not wait for a crash dialog.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
