#include "version/VersionText.h"

#include <gtest/gtest.h>

using plug::IsNewerVersion;
using plug::ReadVersion;
using plug::VersionFields;

TEST(VersionText, ShortLongAndEmptyTextsReadAsFourNumbers)
{
    EXPECT_EQ((VersionFields{1, 2, 0, 0}), ReadVersion(L"1.2"));
    EXPECT_EQ((VersionFields{7, 0, 0, 0}), ReadVersion(L"7"));
    EXPECT_EQ((VersionFields{1, 2, 3, 0}), ReadVersion(L"1.2.3"));
    EXPECT_EQ((VersionFields{1, 2, 3, 4}), ReadVersion(L"1.2.3.4"));
    EXPECT_EQ((VersionFields{1, 2, 3, 4}), ReadVersion(L"1.2.3.4.5")); // the fourth stops at the dot in 4.5
    EXPECT_EQ((VersionFields{0, 0, 0, 0}), ReadVersion(L""));
    EXPECT_EQ((VersionFields{1, 0, 2, 0}), ReadVersion(L"1..2"));
    EXPECT_EQ((VersionFields{0, 5, 0, 0}), ReadVersion(L".5")); // a leading dot counts no dot
}

TEST(VersionText, FieldsReadLikeTheCLibraryAndCompareUnsigned)
{
    EXPECT_EQ((VersionFields{4294967295u, 0, 0, 0}), ReadVersion(L"-1"));
    EXPECT_EQ((VersionFields{12, 0, 3, 0}), ReadVersion(L"12abc.x.3"));
    EXPECT_EQ((VersionFields{5, 6, 0, 0}), ReadVersion(L"\t+5.6"));
    EXPECT_EQ(2147483647u, plug::VersionFieldValue(L"99999999999999999999")); // saturates
    EXPECT_EQ(2147483648u, plug::VersionFieldValue(L"-99999999999999999999"));
    EXPECT_TRUE(IsNewerVersion(L"99999.0", L"-1.0"));
}

TEST(VersionText, SpacesAreRemovedAfterTheDotsAreCounted)
{
    EXPECT_EQ(L"1.2.3.4", plug::NormaliseVersionText(L"1. 2. 3. 4"));
    EXPECT_EQ(L"1.2.0", plug::NormaliseVersionText(L"1. 2"));
    EXPECT_EQ(ReadVersion(L"2.1.0.7"), ReadVersion(L"2. 1. 0. 7"));
}

TEST(VersionText, NewerMeansGreaterFieldByField)
{
    EXPECT_TRUE(IsNewerVersion(L"1.0.0.9", L"1.0.0.10"));
    EXPECT_FALSE(IsNewerVersion(L"1.0.0.10", L"1.0.0.9"));
    EXPECT_FALSE(IsNewerVersion(L"2.0", L"2.0.0.0"));
    EXPECT_FALSE(IsNewerVersion(L"3.1.4", L"3.1.4"));
    EXPECT_TRUE(IsNewerVersion(L"", L"0.0.0.1"));
    EXPECT_FALSE(IsNewerVersion(L"", L""));
    EXPECT_TRUE(IsNewerVersion(L"1.9.9.9", L"2"));
}

TEST(VersionText, FilteredVersionStringsKeepDigitsAndDots)
{
    EXPECT_EQ(L"2.1.0.7", plug::FilterVersionString(L"2. 1. 0. 7 (beta)"));
    EXPECT_EQ(L"", plug::FilterVersionString(L"2, 1, 0, 7"));
    EXPECT_EQ(L"", plug::FilterVersionString(L""));
    EXPECT_EQ(L".", plug::FilterVersionString(L"v."));
}
