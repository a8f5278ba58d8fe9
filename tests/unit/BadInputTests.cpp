// Configuration and language files that are damaged: binary garbage, huge, without sections or
// in another encoding. Nothing may crash or hang; values are whatever the profile API gives,
// within the program's limits.
#include "common/MessageBoxRecorder.h"
#include "common/TestFiles.h"
#include "config/ConfigFile.h"
#include "config/Language.h"
#include "config/ModulePath.h"

#include <gtest/gtest.h>

#include <random>

using namespace plugtest;

namespace {

// Random bytes that do not begin with a byte-order mark, so the profile API reads them as ANSI
// and the text appended after them stays readable.
std::string RandomBytes(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    if (size > 0)
        bytes[0] = 'x';
    return bytes;
}

// A section with one overlong value, appended after damage: the reader must still find it and
// cut it to the program's limit.
std::string LongValueSection(const char* section, const char* key, char fill, size_t length)
{
    return std::string("\r\n[") + section + "]\r\n" + key + "=" + std::string(length, fill) + "\r\n";
}

// A large profile-looking file: many sections and keys, the looked-for key near the end.
std::string HugeProfile(size_t size)
{
    std::string text = "\xFF\xFE";
    std::string ascii;
    for (int section = 0; ascii.size() < size / 2; ++section) {
        ascii += "[S" + std::to_string(section) + "]\r\n";
        for (int key = 0; key < 50; ++key)
            ascii += "key" + std::to_string(key) + "=" + std::string(60, 'v') + "\r\n";
    }
    ascii += "[DRIVER]\r\ndriver_type=EMP\r\n[STRING]\r\nSTR_STRING_TITLE=Huge\r\n";
    for (char c : ascii) {
        text.push_back(c);
        text.push_back('\0');
    }
    return text;
}

const char* const kConfigKeys[][2] = {{"DRIVER", "driver_type"},
                                      {"ITK", "itk_type"},
                                      {"FILES", "filecount"},
                                      {"FILES", "file00"},
                                      {"SERVICE", "svcdel_fname"}};

class BadInputTest : public ::testing::Test {
protected:
    void SetUp() override { plug::config_detail::ResetMissingConfigMessage(); }

    // Reads every key of kConfigKeys (nothing may crash or hang) and the overlong value that
    // LongValueSection appended: cut to the 259 characters the reader keeps.
    void ReadAllConfigKeys(bool expectLongValue)
    {
        for (const auto& key : kConfigKeys) {
            std::wstring section(key[0], key[0] + strlen(key[0]));
            std::wstring name(key[1], key[1] + strlen(key[1]));
            plug::GetConfigValue(nullptr, section, name);
        }
        if (expectLongValue) {
            EXPECT_EQ(std::wstring(259, L'v'), plug::GetConfigValue(nullptr, L"LONG", L"value"));
        }
    }
    void ReadLanguageKeys(const std::wstring& path, bool expectLongValue)
    {
        plug::SetLanguageFile(path);
        plug::GetLanguageString(L"STR_STRING_BTN_CANCEL");
        if (expectLongValue) {
            EXPECT_EQ(std::wstring(2047, L't'), plug::GetLanguageString(L"STR_STRING_TITLE"));
        }
        plug::SetLanguageFile(L"");
    }

    ScopedLanguageFile m_language{StandardLanguage()};
    ScopedFile m_config{plug::GetModuleDirectory() + L"config.ini"};
    MessageBoxRecorder m_boxes;
    TempDir m_dir;
};

} // namespace

TEST_F(BadInputTest, BinaryGarbageConfig)
{
    for (unsigned seed = 1; seed <= 8; ++seed) {
        WriteBinaryFile(m_config.Path(), RandomBytes(4096 * seed, seed) + LongValueSection("LONG", "value", 'v', 300));
        ReadAllConfigKeys(true);
    }
    EXPECT_EQ(0u, m_boxes.Count()); // the file is there, however damaged
}

TEST_F(BadInputTest, TenMegabyteConfigIsReadToTheEnd)
{
    WriteBinaryFile(m_config.Path(), HugeProfile(10 * 1024 * 1024));
    ReadAllConfigKeys(false);
    EXPECT_EQ(L"EMP", plug::GetConfigValue(nullptr, L"DRIVER", L"driver_type"));
}

TEST_F(BadInputTest, ConfigWithoutSectionsGivesEmptyValues)
{
    WriteUtf16File(m_config.Path(), L"driver_type=EMP\nitk_type=2\n=\n[\n]]]\n");
    EXPECT_EQ(L"", plug::GetConfigValue(nullptr, L"DRIVER", L"driver_type"));
    ReadAllConfigKeys(false);
}

TEST_F(BadInputTest, ConfigInOtherEncodings)
{
    WriteBinaryFile(m_config.Path(), "\xEF\xBB\xBF[DRIVER]\r\ndriver_type=EMP\r\n"); // UTF-8 with mark
    ReadAllConfigKeys(false);
    WriteBinaryFile(m_config.Path(), std::string("\xFE\xFF\0[\0D\0R\0I\0V\0E\0R\0]", 18)); // UTF-16BE
    ReadAllConfigKeys(false);
    WriteBinaryFile(m_config.Path(), "[DRIVER]\r\ndriver_type=EMP\r\n"); // ANSI: the profile API reads it too
    EXPECT_EQ(L"EMP", plug::GetConfigValue(nullptr, L"DRIVER", L"driver_type"));
    WriteBinaryFile(m_config.Path(), std::string("\xFF\xFE", 2)); // the mark alone
    ReadAllConfigKeys(false);
    WriteBinaryFile(m_config.Path(), std::string("\xFF\xFE[\0D\0", 6)); // cut in a line
    ReadAllConfigKeys(false);
}

TEST_F(BadInputTest, DamagedLanguageFiles)
{
    std::wstring path = m_dir.File(L"lang.opt");
    for (unsigned seed = 1; seed <= 8; ++seed) {
        WriteBinaryFile(path, RandomBytes(8192 * seed, seed + 100) +
                                  LongValueSection("STRING", "STR_STRING_TITLE", 't', 3000));
        ReadLanguageKeys(path, true);
    }
    WriteBinaryFile(path, HugeProfile(10 * 1024 * 1024));
    plug::SetLanguageFile(path);
    EXPECT_EQ(L"Huge", plug::GetLanguageString(L"STR_STRING_TITLE"));
    WriteUtf16File(path, L"STR_STRING_TITLE=no section\n");
    ReadLanguageKeys(path, false);
    WriteBinaryFile(path, "\xEF\xBB\xBF[STRING]\r\nSTR_STRING_TITLE=\xC3\xA9t\xC3\xA9\r\n");
    ReadLanguageKeys(path, false);
    ReadLanguageKeys(m_dir.Path(), false); // a folder instead of a file
}
