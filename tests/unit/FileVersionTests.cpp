// File versions from real version resources: a fixed block, string tables only, none.
#include "DetectTestSupport.h"

#include "version/FileVersion.h"

using namespace plugtest;

namespace {
class FileVersionTest : public DetectTest {};
} // namespace

TEST_F(FileVersionTest, FixedBlockGivesTheVersionWhateverTheStringSays)
{
    std::wstring probe = VersionProbe(L"ver_fixed.dll");
    EXPECT_EQ(L"1.2.3.4", plug::GetFileVersionText(probe));
    DWORD ms = 0;
    DWORD ls = 0;
    EXPECT_EQ(S_OK, plug::GetFixedFileVersion(probe.c_str(), &ms, &ls));
    EXPECT_EQ(0x00010002u, ms);
    EXPECT_EQ(0x00030004u, ls);

    plug::CVersionResource resource;
    ASSERT_TRUE(resource.LoadVersionStrings(probe));
    EXPECT_EQ(L"9.8.7.6", resource.String(plug::CVersionResource::FileVersion));
    EXPECT_EQ(L"Norvo Electronics", resource.String(plug::CVersionResource::CompanyName));
    EXPECT_EQ(L"", resource.String(plug::CVersionResource::SpecialBuild));
    EXPECT_EQ(0xFEEF04BDu, resource.FixedInfo().dwSignature);
    EXPECT_EQ(0x00030004u, resource.FixedInfo().dwFileVersionLS);
}

TEST_F(FileVersionTest, FixedVersionFailsWithoutFixedBlockOrArguments)
{
    std::wstring probe = VersionProbe(L"ver_fixed.dll");
    DWORD ms = 7;
    DWORD ls = 7;
    EXPECT_EQ(E_INVALIDARG, plug::GetFixedFileVersion(nullptr, &ms, &ls));
    EXPECT_EQ(E_INVALIDARG, plug::GetFixedFileVersion(probe.c_str(), nullptr, &ls));
    EXPECT_EQ(E_INVALIDARG, plug::GetFixedFileVersion(probe.c_str(), &ms, nullptr));
    for (const wchar_t* name : {L"ver_none.dll", L"ver_strings_a.dll", L"no such file.dll"})
        EXPECT_EQ(E_FAIL, plug::GetFixedFileVersion(VersionProbe(name).c_str(), &ms, &ls)) << name;
    EXPECT_EQ(7u, ms);
    EXPECT_EQ(7u, ls);
}

TEST_F(FileVersionTest, WithoutVersionResourceTheVersionIsEmptyAndTheRecordCleared)
{
    EXPECT_EQ(L"", plug::GetFileVersionText(VersionProbe(L"ver_none.dll")));
    EXPECT_EQ(L"", plug::GetFileVersionText(VersionProbe(L"no such file.dll")));
    plug::CVersionResource resource;
    ASSERT_TRUE(resource.LoadVersionStrings(VersionProbe(L"ver_fixed.dll")));
    EXPECT_FALSE(resource.LoadVersionStrings(VersionProbe(L"ver_none.dll")));
    EXPECT_EQ(L"", resource.String(plug::CVersionResource::FileVersion));
    EXPECT_EQ(0u, resource.FixedInfo().dwSignature);

    // A resource whose translation table is empty names no string table: loaded, no strings.
    EXPECT_TRUE(resource.LoadVersionStrings(VersionProbe(L"ver_strings_untranslated.dll")));
    EXPECT_EQ(0, resource.Language());
    EXPECT_EQ(L"", plug::GetFileVersionText(VersionProbe(L"ver_strings_untranslated.dll")));
}

TEST_F(FileVersionTest, StringTablesOnlyGiveTheFilteredStringOfTheChosenTranslation)
{
    // The tests run with the locale pinned to English (United States); the probes are made for it.
    ASSERT_EQ(0x0409, ::GetUserDefaultLangID());
    // Translation tables: a = 0411, 0809, 0409; b = 0411, 0809; c = 0411, 0C00, 0000; e = 0411, 0407.
    EXPECT_EQ(L"2.7.1.8", plug::GetFileVersionText(VersionProbe(L"ver_strings_a.dll"))); // the user's language
    EXPECT_EQ(L"3.1.4.1", plug::GetFileVersionText(VersionProbe(L"ver_strings_b.dll"))); // its primary language
    EXPECT_EQ(L"4.4.4.4", plug::GetFileVersionText(VersionProbe(L"ver_strings_c.dll"))); // language 0
    EXPECT_EQ(L"5.0.0.1", plug::GetFileVersionText(VersionProbe(L"ver_strings_e.dll"))); // the first entry
    EXPECT_EQ(L"", plug::GetFileVersionText(VersionProbe(L"ver_strings_nodot.dll")));    // "build 42"

    plug::CVersionResource resource;
    ASSERT_TRUE(resource.LoadVersionStrings(VersionProbe(L"ver_strings_a.dll")));
    EXPECT_EQ(L"2. 7. 1. 8 (build)", resource.String(plug::CVersionResource::FileVersion));
    EXPECT_EQ(0x0409, resource.Language());
    EXPECT_EQ(0x04B0, resource.CodePage());
    EXPECT_EQ(0u, resource.FixedInfo().dwSignature); // no fixed block
}
