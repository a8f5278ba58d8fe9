#include "config/LanguageTable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>

namespace {
std::wstring FileFor(unsigned primary, unsigned sub)
{
    return plug::LanguageFileForLangId(static_cast<unsigned short>((sub << 10) | primary));
}

// "german" of "tools\lang_AutoRun_german.opt" (every character of the table is ASCII).
std::string NameOfFile(const wchar_t* file)
{
    const std::wstring path = file;
    const std::wstring prefix = L"tools\\lang_AutoRun_";
    const std::wstring suffix = L".opt";
    if (path.compare(0, prefix.size(), prefix) != 0 || path.size() < prefix.size() + suffix.size() ||
        path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0)
        return "(not a language file: " + std::string(path.begin(), path.end()) + ")";
    const std::wstring name = path.substr(prefix.size(), path.size() - prefix.size() - suffix.size());
    return std::string(name.begin(), name.end());
}
} // namespace

// The language files are checked against their sources in device/lang (one "<name>.txt" for each
// "tools\lang_AutoRun_<name>.opt" of the image), not against a copy of the table.
TEST(LanguageTable, SelectsExactlyTheLanguageFilesTheImageCarries)
{
    std::set<std::string> sources;
    for (const auto& entry : std::filesystem::directory_iterator(PLUGSTART_LANGUAGE_SOURCES)) {
        if (entry.path().extension() == ".txt")
            sources.insert(entry.path().stem().string());
    }
    ASSERT_FALSE(sources.empty()) << PLUGSTART_LANGUAGE_SOURCES;
    std::set<std::string> selected;
    for (unsigned id = 0; id <= 0xFFFF; ++id)
        selected.insert(NameOfFile(plug::LanguageFileForLangId(static_cast<unsigned short>(id))));
    EXPECT_EQ(sources, selected);
}

// A file serves one language (English every language without a file), and apart from the
// languages whose file depends on the country (below), whatever the sublanguage.
TEST(LanguageTable, OneFilePerLanguageWhateverTheSublanguage)
{
    const std::set<unsigned> byCountry = {4, 10, 22, 26}; // Chinese, Spanish, Portuguese, Serbo-Croatian
    std::map<std::string, std::set<unsigned>> languagesOfFile;
    for (unsigned primary = 0; primary <= 0x3FF; ++primary) {
        const std::wstring file = FileFor(primary, 1);
        languagesOfFile[NameOfFile(file.c_str())].insert(primary);
        if (byCountry.count(primary))
            continue;
        for (unsigned sub = 0; sub < 64; ++sub)
            ASSERT_EQ(file, FileFor(primary, sub)) << primary << "/" << sub;
    }
    for (const auto& file : languagesOfFile) {
        if (file.first != "eng") {
            EXPECT_EQ(1u, file.second.size()) << file.first << " serves more than one language";
        }
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
    EXPECT_EQ(L"tools\\lang_AutoRun_serbian.opt",
              std::wstring(plug::LanguageFileForLangId(0x0C1A))); // Serbian (Cyrillic)
    EXPECT_EQ(L"tools\\lang_AutoRun_serbian.opt", std::wstring(plug::LanguageFileForLangId(0x141A))); // Bosnian
    EXPECT_EQ(L"tools\\lang_AutoRun_serbian.opt",
              std::wstring(plug::LanguageFileForLangId(0x101A))); // Croatian (Bosnia)
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
