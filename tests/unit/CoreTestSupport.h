// What the tests of the run's steps share: a run over its record with a host that has a window
// but shows none, every message box recorded, sleeps counted instead of slept, the simulated
// device on R: and S:, a config.ini beside the test and a language file whose texts are their keys.
#pragma once

#include "common/FakeInstallation.h"
#include "common/FakeRunHost.h"
#include "common/InstantSleep.h"
#include "common/MessageBoxRecorder.h"
#include "common/SimDevice.h"
#include "common/TestFiles.h"
#include "config/ModulePath.h"
#include "core/PlugstartRun.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace plugtest {

// config.ini: section -> key -> value.
using ConfigValues = std::map<std::wstring, std::map<std::wstring, std::wstring>>;

// Every message of the run reads as its own key; the texts that name the product read
// "<key> (Norvo PC Suite)", so that the product replacement shows.
std::map<std::wstring, std::wstring> KeyLanguage();

class CoreTest : public ::testing::Test {
protected:
    CoreTest();
    ~CoreTest() override;

    void WriteConfig(const ConfigValues& values);
    void StartFromPc(const std::wstring& letter);
    void StartFromCd();
    // The device on R: answers only the command service.
    void DenyUsers();

    // The boxes shown, each as its text, followed by what is wrong with it: " [owner]" when it
    // is not owned by the host's window (" [no owner]" when it has none), " [caption]" when its
    // caption is not the language title, " [style]" when it is not an exclamation with OK.
    std::vector<std::wstring> Boxes() const;
    // The commands the device saw, as "drive cdb".
    std::vector<std::wstring> DeviceCommands() const;
    // True when the mode change went to the device on R:.
    bool ModeChanged() const;

    // The QCT driver package is there (its uninstall key and package files) while the device has
    // not come back as a modem: the driver counts as installed only by its package.
    void DriverPackageOnly();
    // A stand-in built beside the test ("SimDriverSetup") copied into the program's folder under
    // name, removed at the end.
    void Place(const std::wstring& standIn, const std::wstring& name);

    static std::wstring ProgramFolder() { return plug::GetModuleDirectory(); }

    HWND m_window = nullptr;
    ScopedLanguageFile m_language{KeyLanguage()};
    ScopedFile m_config{plug::GetModuleDirectory() + L"config.ini"};
    MessageBoxRecorder m_boxes;
    InstantSleep m_sleeps;
    SimDevice m_sim;
    FakeInstallation m_install; // what the test installs, and everything the code under test may install
    RunState m_run;
    FakeRunHost m_host;
    CPlugstartRun m_core{m_run, m_host};
    std::vector<std::unique_ptr<ScopedFile>> m_placed; // files put into the program's folder
};

} // namespace plugtest
