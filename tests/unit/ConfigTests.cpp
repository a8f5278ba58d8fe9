// The configuration reader and the path helpers, against real files under Wine.
#include "common/HeldFile.h"
#include "common/MessageBoxRecorder.h"
#include "common/TestFiles.h"
#include "config/ConfigFile.h"
#include "config/ConfigText.h"
#include "config/ModulePath.h"
#include "framework/Handle.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace plugtest;
using plug::GetConfigValue;

namespace {

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override { plug::config_detail::ResetMissingConfigMessage(); }

    void WriteProgramConfig(const std::wstring& text) { WriteUtf16File(m_programConfig.Path(), text); }
    void WriteOverrideConfig(const std::wstring& text) { WriteUtf16File(m_overrideConfig.Path(), text); }

    ScopedLanguageFile m_language{StandardLanguage()};
    ScopedFile m_programConfig{plug::GetModuleDirectory() + L"config.ini"};
    ScopedFile m_overrideConfig{plug::kConfigTestOverridePath};
    MessageBoxRecorder m_boxes;
};

} // namespace

TEST_F(ConfigTest, ReadsValuesFromConfigBesideTheProgram)
{
    WriteProgramConfig(L"[DRIVER]\ndriver_type=EMP\ndriver_name=Setup Driver.exe\n");
    EXPECT_EQ(L"EMP", GetConfigValue(nullptr, L"DRIVER", L"driver_type"));
    EXPECT_EQ(L"Setup Driver.exe", GetConfigValue(nullptr, L"driver", L"DRIVER_NAME")); // names ignore case
    EXPECT_EQ(L"", GetConfigValue(nullptr, L"DRIVER", L"driver_version"));              // missing key
    EXPECT_EQ(L"", GetConfigValue(nullptr, L"ITK", L"itk_type"));                       // missing section
    EXPECT_EQ(0u, m_boxes.Count());
}

TEST_F(ConfigTest, TestOverrideIsReadForEveryKeyEvenThoseItLacks)
{
    WriteProgramConfig(L"[DRIVER]\ndriver_type=QCT\ndriver_name=Setup.exe\n");
    WriteOverrideConfig(L"[DRIVER]\ndriver_type=EMP\n");
    EXPECT_EQ(L"EMP", GetConfigValue(nullptr, L"DRIVER", L"driver_type"));
    EXPECT_EQ(L"", GetConfigValue(nullptr, L"DRIVER", L"driver_name"));
    EXPECT_EQ(plug::kConfigTestOverridePath, plug::ConfigFilePath());
}

TEST_F(ConfigTest, OverrideAloneIsEnough)
{
    WriteOverrideConfig(L"[ITK]\nitk_type=2\n");
    EXPECT_EQ(L"2", GetConfigValue(nullptr, L"ITK", L"itk_type"));
    EXPECT_EQ(0u, m_boxes.Count());
}

TEST_F(ConfigTest, MissingConfigShowsExactlyOneMessagePerProcess)
{
    HWND owner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
    for (int read = 0; read < 25; ++read)
        EXPECT_EQ(L"", GetConfigValue(read == 0 ? owner : nullptr, L"DRIVER", L"driver_type"));
    ASSERT_EQ(1u, m_boxes.Count());
    RecordedBox box = m_boxes.Boxes()[0];
    EXPECT_EQ(L"no config", box.text);
    EXPECT_EQ(L"Test Installer", box.caption);
    EXPECT_EQ(static_cast<UINT>(0x30), box.style);
    EXPECT_EQ(owner, box.owner);

    // A configuration that appears later is read; the message is not shown again when it goes.
    WriteProgramConfig(L"[DRIVER]\ndriver_type=EMP\n");
    EXPECT_EQ(L"EMP", GetConfigValue(nullptr, L"DRIVER", L"driver_type"));
    RemoveFileForced(m_programConfig.Path());
    EXPECT_EQ(L"", GetConfigValue(nullptr, L"DRIVER", L"driver_type"));
    EXPECT_EQ(1u, m_boxes.Count());
}

TEST_F(ConfigTest, LongValueIsCutTo259Characters)
{
    std::wstring longValue;
    for (int i = 0; i < 300; ++i)
        longValue += static_cast<wchar_t>(L'a' + i % 26);
    WriteProgramConfig(L"[WEB]\nnorvopcsuite_def_downurl=" + longValue + L"\n");
    EXPECT_EQ(longValue.substr(0, 259), GetConfigValue(nullptr, L"WEB", L"norvopcsuite_def_downurl"));
}

TEST_F(ConfigTest, NumbersAreReadByTheirLeadingDigits)
{
    WriteProgramConfig(L"[FILES]\nfilecount=3abc\n[SERVICE]\nfilecount=abc\n");
    EXPECT_EQ(3, plug::LeadingDigitsToInt(GetConfigValue(nullptr, L"FILES", L"filecount")));
    EXPECT_EQ(0, plug::LeadingDigitsToInt(GetConfigValue(nullptr, L"SERVICE", L"filecount")));
    EXPECT_EQ(0, plug::LeadingDigitsToInt(GetConfigValue(nullptr, L"SERVICE", L"missing")));
}

TEST_F(ConfigTest, BlanksAroundValuesAreDroppedButLeadingZerosStay)
{
    WriteProgramConfig(L"[DRIVER]\ndriver_autouninstall=   1   \n[ITK]\nitk_type=01\n");
    EXPECT_EQ(L"1", GetConfigValue(nullptr, L"DRIVER", L"driver_autouninstall"));
    EXPECT_EQ(L"01", GetConfigValue(nullptr, L"ITK", L"itk_type"));
}

TEST(ModulePath, ModuleDirectoryIsTheExecutablesFolderWithBackslash)
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring expected(path);
    expected = expected.substr(0, expected.rfind(L'\\') + 1);
    EXPECT_EQ(expected, plug::GetModuleDirectory());
    EXPECT_EQ(L'\\', plug::GetModuleDirectory().back());
}

// Another process holding the file: a virus scanner reading it, an indexer, a program writing
// it. Only one that allows no reading makes the file unreadable, and so "missing".
TEST(ModulePath, IsExistFileSeesFilesThatAnotherProcessHoldsWithSharing)
{
    struct Case {
        const char* holder;
        DWORD access;
        DWORD share;
        BOOL exists;
    };
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const Case cases[] = {
        {"scanner reading it", GENERIC_READ, FILE_SHARE_READ, TRUE},
        {"indexer sharing everything", GENERIC_READ, all, TRUE},
        {"writer letting others read", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, TRUE},
        {"lock without sharing", GENERIC_READ, 0, FALSE},
    };
    TempDir dir;
    std::wstring file = dir.File(L"held.txt");
    WriteBinaryFile(file, "x");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.holder);
        HeldFile held(file, c.access, c.share);
        ASSERT_TRUE(held.IsHeld());
        EXPECT_EQ(c.exists, plug::IsExistFile(file));
    }
}

TEST_F(ConfigTest, ConfigurationHeldOpenByAScannerIsStillRead)
{
    WriteProgramConfig(L"[ITK]\nitk_type=2\n");
    HeldFile scanner(m_programConfig.Path(), GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(scanner.IsHeld());
    EXPECT_EQ(L"2", GetConfigValue(nullptr, L"ITK", L"itk_type"));
    EXPECT_EQ(0u, m_boxes.Count()) << "no missing-configuration message";
}

TEST(ModulePath, IsExistFileOnlyForFilesThatOpenForReading)
{
    TempDir dir;
    std::wstring file = dir.File(L"present.txt");
    WriteBinaryFile(file, "x");
    EXPECT_TRUE(plug::IsExistFile(file));
    EXPECT_FALSE(plug::IsExistFile(dir.File(L"absent.txt")));
    EXPECT_FALSE(plug::IsExistFile(dir.Path()));
    EXPECT_FALSE(plug::IsExistFile(dir.Path().substr(0, dir.Path().size() - 1)));
    EXPECT_FALSE(plug::IsExistFile(L""));

    // A file that someone holds open without sharing cannot be opened, so counts as missing.
    plug::UniqueFile locked(::CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(locked.IsValid());
    EXPECT_FALSE(plug::IsExistFile(file));
    locked.Reset();
    EXPECT_TRUE(plug::IsExistFile(file)); // and IsExistFile itself left nothing open
    EXPECT_TRUE(plug::IsExistFile(file));
}
