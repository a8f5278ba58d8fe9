#include "config/LanguageTable.h"

#include <gtest/gtest.h>

#include <string>

namespace {
std::wstring FileFor(unsigned primary, unsigned sub)
{
    return plug::LanguageFileForLangId(static_cast<unsigned short>((sub << 10) | primary));
}
} // namespace

TEST(LanguageTable, OneFilePerLanguageWhateverTheSublanguage)
{
    const struct {
        unsigned primary;
        const wchar_t* file;
    } rows[] = {
        {2, L"tools\\lang_AutoRun_bulgarian.opt"}, {5, L"tools\\lang_AutoRun_czech.opt"},
        {6, L"tools\\lang_AutoRun_danish.opt"},    {7, L"tools\\lang_AutoRun_german.opt"},
        {8, L"tools\\lang_AutoRun_greek.opt"},     {11, L"tools\\lang_AutoRun_finnish.opt"},
        {12, L"tools\\lang_AutoRun_french.opt"},   {14, L"tools\\lang_AutoRun_hungarian.opt"},
        {16, L"tools\\lang_AutoRun_italian.opt"},  {17, L"tools\\lang_AutoRun_japan.opt"},
        {18, L"tools\\lang_AutoRun_kor.opt"},      {19, L"tools\\lang_AutoRun_dutch.opt"},
        {20, L"tools\\lang_AutoRun_norwegian.opt"}, {21, L"tools\\lang_AutoRun_polish.opt"},
        {25, L"tools\\lang_AutoRun_russian.opt"},  {27, L"tools\\lang_AutoRun_slovakia.opt"},
        {29, L"tools\\lang_AutoRun_swedish.opt"},  {31, L"tools\\lang_AutoRun_turkish.opt"},
        {36, L"tools\\lang_AutoRun_slovene.opt"},
    };
    for (const auto& row : rows) {
        for (unsigned sub : {0u, 1u, 2u, 3u, 63u})
            EXPECT_EQ(row.file, FileFor(row.primary, sub)) << row.primary << "/" << sub;
    }
}

TEST(LanguageTable, ChineseBySublanguage)
{
    EXPECT_EQ(L"tools\\lang_AutoRun_chi_tai.opt", FileFor(4, 1));
    EXPECT_EQ(L"tools\\lang_AutoRun_chi_sim.opt", FileFor(4, 2));
    EXPECT_EQ(L"tools\\lang_AutoRun_chi_hk.opt", FileFor(4, 3)); // Hong Kong
    EXPECT_EQ(L"tools\\lang_AutoRun_chi_hk.opt", FileFor(4, 4)); // Singapore
    EXPECT_EQ(L"tools\\lang_AutoRun_chi_hk.opt", FileFor(4, 5)); // Macau
    EXPECT_EQ(L"tools\\lang_AutoRun_chi_hk.opt", FileFor(4, 0));
}

TEST(LanguageTable, SpanishBySublanguage)
{
    EXPECT_EQ(L"tools\\lang_AutoRun_spanish.opt", FileFor(10, 1));
    EXPECT_EQ(L"tools\\lang_AutoRun_spanish.opt", FileFor(10, 3));
    EXPECT_EQ(L"tools\\lang_AutoRun_spanish_mx.opt", FileFor(10, 2));
    EXPECT_EQ(L"tools\\lang_AutoRun_spanish_la.opt", FileFor(10, 4));
    EXPECT_EQ(L"tools\\lang_AutoRun_spanish_la.opt", FileFor(10, 11));
}

TEST(LanguageTable, PortugueseBrazilAndPortugal)
{
    EXPECT_EQ(L"tools\\lang_AutoRun_portuguese_br.opt", std::wstring(plug::LanguageFileForLangId(0x0416)));
    EXPECT_EQ(L"tools\\lang_AutoRun_portuguese.opt", std::wstring(plug::LanguageFileForLangId(0x0816)));
}

TEST(LanguageTable, CroatianOnlyByItsFullIdentifier)
{
    EXPECT_EQ(L"tools\\lang_AutoRun_croatian.opt", std::wstring(plug::LanguageFileForLangId(0x041A)));
    EXPECT_EQ(L"tools\\lang_AutoRun_serbian.opt", std::wstring(plug::LanguageFileForLangId(0x081A))); // Serbian (Latin)
    EXPECT_EQ(L"tools\\lang_AutoRun_serbian.opt", std::wstring(plug::LanguageFileForLangId(0x0C1A))); // Serbian (Cyrillic)
    EXPECT_EQ(L"tools\\lang_AutoRun_serbian.opt", std::wstring(plug::LanguageFileForLangId(0x141A))); // Bosnian
    EXPECT_EQ(L"tools\\lang_AutoRun_serbian.opt", std::wstring(plug::LanguageFileForLangId(0x101A))); // Croatian (Bosnia)
}

TEST(LanguageTable, EverythingElseIsEnglish)
{
    const std::wstring english = L"tools\\lang_AutoRun_eng.opt";
    EXPECT_EQ(english, std::wstring(plug::LanguageFileForLangId(0x0409))); // English (United States)
    EXPECT_EQ(english, std::wstring(plug::LanguageFileForLangId(0x0809))); // English (United Kingdom)
    EXPECT_EQ(english, std::wstring(plug::LanguageFileForLangId(0x0401))); // Arabic
    EXPECT_EQ(english, std::wstring(plug::LanguageFileForLangId(0x040D))); // Hebrew
    EXPECT_EQ(english, std::wstring(plug::LanguageFileForLangId(0x041E))); // Thai
    EXPECT_EQ(english, std::wstring(plug::LanguageFileForLangId(0x0000)));
    EXPECT_EQ(english, std::wstring(plug::LanguageFileForLangId(0xFFFF)));
    for (unsigned primary : {1u, 3u, 9u, 13u, 15u, 23u, 24u, 28u, 30u, 32u, 33u, 34u, 35u, 37u, 0x3FFu})
        EXPECT_EQ(english, FileFor(primary, 1)) << primary;
}
