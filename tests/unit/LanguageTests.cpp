// Language strings read from real language files.
#include "common/TestFiles.h"
#include "config/Language.h"
#include "config/LanguageTable.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace plugtest;
using plug::GetLanguageString;

TEST(LanguageStrings, EscapesAreExpandedFromTheFile)
{
    ScopedLanguageFile file({{L"SPACE", L"two[_sp]words"},
                             {L"TRAILING", L"ends[_sp]"},
                             {L"LINES", L"first\\nsecond\\rthird"},
                             {L"QUOTE", L"it\\'s"},
                             {L"PLAIN", L"  padded  "}});
    EXPECT_EQ(L"two words", GetLanguageString(L"SPACE"));
    EXPECT_EQ(L"ends ", GetLanguageString(L"TRAILING")); // the profile API drops real trailing blanks
    EXPECT_EQ(L"first\nsecond\rthird", GetLanguageString(L"LINES"));
    EXPECT_EQ(L"it's", GetLanguageString(L"QUOTE"));
    EXPECT_EQ(L"padded", GetLanguageString(L"PLAIN"));
    EXPECT_EQ(L"two words", GetLanguageString(L"space")); // keys ignore case
}

TEST(LanguageStrings, MissingKeyOrFileGivesEmptyText)
{
    {
        ScopedLanguageFile file(std::map<std::wstring, std::wstring>{{L"STR_STRING_TITLE", L"Title"}});
        EXPECT_EQ(L"", GetLanguageString(L"STR_STRING_NOT_THERE"));
    }
    TempDir dir;
    plug::SetLanguageFile(dir.File(L"missing.opt"));
    EXPECT_EQ(L"", GetLanguageString(L"STR_STRING_TITLE"));
    plug::SetLanguageFile(L"");
}

TEST(LanguageStrings, LongValueIsCutTo2047Characters)
{
    std::wstring longValue;
    for (int i = 0; i < 3000; ++i)
        longValue += static_cast<wchar_t>(L'A' + i % 26);
    ScopedLanguageFile file(std::map<std::wstring, std::wstring>{
        {L"LONG", longValue}, {L"LONG_ESCAPED", longValue.substr(0, 2040) + L"[_sp]tail"}});
    EXPECT_EQ(longValue.substr(0, 2047), GetLanguageString(L"LONG"));
    // The cut comes before the escapes are expanded.
    EXPECT_EQ(longValue.substr(0, 2040) + L" ta", GetLanguageString(L"LONG_ESCAPED"));
}

TEST(LanguageStrings, NonLatinTextSurvivesTheUnicodeFile)
{
    ScopedLanguageFile file(std::map<std::wstring, std::wstring>{
        {L"STR_STRING_TITLE", L"\u30CE\u30EB\u30F4\u30A9 \u0418\u043D\u0441\u0442"}});
    EXPECT_EQ(L"\u30CE\u30EB\u30F4\u30A9 \u0418\u043D\u0441\u0442", GetLanguageString(L"STR_STRING_TITLE"));
}

TEST(LanguageStrings, SelectedFileFollowsTheUsersDefaultLanguage)
{
    // The tests run with the locale pinned to English (United States).
    ASSERT_EQ(0x0409, ::GetUserDefaultLangID());
    EXPECT_EQ(L"tools\\lang_AutoRun_eng.opt", plug::SelectLanguageFile());
}

TEST(LanguageStrings, ShippedEnglishFileHasEveryKey)
{
    // The device image's English file, as built, must answer all 63 keys with some text.
    // clang-format off
    const wchar_t* keys[] = {
        L"STR_STRING_TITLE", L"STR_STRING_APP_INIT_FAILED_000", L"STR_STRING_APP_INIT_FAILED_001",
        L"STR_STRING_APP_INIT_FAILED_002", L"STR_STRING_APP_INIT_FAILED_003", L"STR_STRING_APP_INIT_FAILED_004",
        L"STR_STRING_APP_INIT_FAILED_005", L"STR_STRING_INITDLG_STRING", L"STR_STRING_DONOT_UNPLUG_USB",
        L"STR_STRING_BTN_CANCEL", L"STR_STRING_ERROR_CANNOT_FIND_CONFIG", L"STR_STRING_ERROR_CANNOT_FIND_SCSIDLL",
        L"STR_STRING_ERROR_SCSI_0_0", L"STR_STRING_ERROR_SCSI_1_0", L"STR_STRING_ERROR_SCSI_2_0",
        L"STR_STRING_ERROR_SCSI_3_0", L"STR_STRING_ERROR_SCSI_4_0", L"STR_STRING_ERROR_SCSI_5_0",
        L"STR_STRING_ERROR_SCSI_6_0", L"STR_STRING_ERROR_SCSI_0_1", L"STR_STRING_ERROR_SCSI_1_1",
        L"STR_STRING_ERROR_SCSI_2_1", L"STR_STRING_ERROR_SCSI_3_1", L"STR_STRING_ERROR_SCSI_4_1",
        L"STR_STRING_ERROR_SCSI_5_1", L"STR_STRING_ERROR_SCSI_6_1", L"STR_STRING_NON_ADMIN_NOTI",
        L"STR_STRING_DRV_NOT_INSTALL_NOTIFY", L"STR_STRING_CANNOT_START_ITK", L"STR_STRING_NOT_FOUND_PCSUITE",
        L"STR_STRING_NOT_FOUND_PCSUITE_CM", L"STR_STRING_PCSUITE_NOT_INSTALL", L"STR_STRING_PCSUITE_NOT_INSTALL_CM",
        L"STR_STRING_ERROR_DRV_SETUP_NAME_EMPTY", L"STR_STRING_ERROR_ITK_FILENAME_EMPTY",
        L"STR_STRING_STATUS_TOP_STRING_1_0", L"STR_STRING_STATUS_TOP_STRING_1_0_0",
        L"STR_STRING_STATUS_TOP_STRING_1_0_CM", L"STR_STRING_STATUS_TOP_STRING_2_0",
        L"STR_STRING_STATUS_TOP_STRING_3_0", L"STR_STRING_STATUS_TOP_STRING_3_0_0",
        L"STR_STRING_STATUS_TOP_STRING_3_0_CM", L"STR_STRING_ERROR_CANNOT_OPEN_SCM_0",
        L"STR_STRING_ERROR_SVC_FILE_NOT_FOUND", L"STR_STRING_ERROR_CANNOT_INSTALL_SERVICE",
        L"STR_STRING_ERROR_CANNOT_START_SERVICE", L"STR_STRING_CDROM_AUTO_OPTION_1",
        L"STR_STRING_CDROM_AUTO_OPTION_4", L"STR_STRING_BTN_OK", L"STR_STRING_INSERT_CD",
        L"STR_STRING_INSTALL_GUIDE_TITLE", L"STR_STRING_INSTALL_GUIDE_DOWNLOAD",
        L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE", L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_0",
        L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_2", L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_3",
        L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_4", L"STR_STEING_INSTALL_GUIDE_TXT_TOP",
        L"STR_STEING_INSTALL_GUIDE_TXT_MAIN_TOP", L"STR_STEING_INSTALL_GUIDE_TXT_MAIN_CONTENTS_1",
        L"STR_STEING_INSTALL_GUIDE_TXT_MAIN_CONTENTS_2", L"STR_STEING_INSTALL_GUIDE_TXT_MAIN_CONTENTS_3",
        L"STR_STEING_INSTALL_GUIDE_TXT_MAIN_CONTENTS_4"};
    // clang-format on
    ASSERT_EQ(63u, sizeof(keys) / sizeof(keys[0]));
    plug::SetLanguageFile(PLUGSTART_ENGLISH_LANGUAGE_FILE);
    for (const wchar_t* key : keys)
        EXPECT_FALSE(GetLanguageString(key).empty()) << key;
    EXPECT_EQ(L"Norvo Mobile Installer", GetLanguageString(L"STR_STRING_TITLE"));
    plug::SetLanguageFile(L"");
}
