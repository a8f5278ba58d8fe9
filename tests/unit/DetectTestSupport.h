// What the detection tests share: the checks over a run record, against traces of installers
// made in the prefix, and the version probe libraries beside the test program.
#pragma once

#include "common/FakeInstallation.h"
#include "common/TestFiles.h"
#include "config/ModulePath.h"
#include "common/FakeRunHost.h"
#include "detect/Detector.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace plugtest {

class DetectTest : public ::testing::Test {
protected:
    // The answers of check with the 64-bit flag set to 0, 1 and -1 (the failed query), as
    // "0"/"1" characters: "011" means FALSE on 32-bit, TRUE on both 64-bit answers.
    std::string ForEach64BitFlag(const std::function<BOOL()>& check)
    {
        std::string answers;
        for (int wow64 : {0, 1, -1}) {
            m_run.m_nWow64 = wow64;
            answers += check() ? '1' : '0';
        }
        return answers;
    }

    // A library beside the test program carrying (or lacking) a version resource.
    static std::wstring VersionProbe(const wchar_t* name) { return plug::GetModuleDirectory() + name; }

    RunState m_run;
    FakeRunHost m_host;
    CDetector m_detect{m_run, m_host};
    FakeInstallation m_install;
};

} // namespace plugtest
