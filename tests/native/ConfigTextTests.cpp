#include "config/ConfigText.h"
#include "config/LanguageEscapes.h"
#include "config/RelativeName.h"
#include "config/TextReplace.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using plug::ExpandLanguageEscapes;
using plug::LeadingDigitsToInt;

TEST(LeadingDigits, ReadsOnlyTheLeadingDecimalDigits)
{
    EXPECT_EQ(3, LeadingDigitsToInt(L"3abc"));
    EXPECT_EQ(0, LeadingDigitsToInt(L"abc"));
    EXPECT_EQ(0, LeadingDigitsToInt(L""));
    EXPECT_EQ(12, LeadingDigitsToInt(L"012"));
    EXPECT_EQ(0, LeadingDigitsToInt(L"-5")); // no sign
    EXPECT_EQ(0, LeadingDigitsToInt(L" 5")); // the profile API has already dropped the blanks
    EXPECT_EQ(7, LeadingDigitsToInt(L"7 8"));
}

TEST(LeadingDigits, HugeNumbersSaturate)
{
    EXPECT_EQ(INT_MAX, LeadingDigitsToInt(L"99999999999999999999999"));
    EXPECT_EQ(2147483647, LeadingDigitsToInt(L"2147483647"));
    EXPECT_EQ(INT_MAX, LeadingDigitsToInt(L"2147483648"));
}

// Matched against the standard library's own text, across the sign, powers of ten and the ends of
// the range (the smallest value has no positive twin).
TEST(DecimalText, WritesWhatToWstringWrites)
{
    for (long long value : {0LL, 1LL, -1LL, 9LL, 10LL, -10LL, 99LL, 100LL, 4096LL, 2147483647LL, -2147483648LL,
                            4294967295LL, LLONG_MAX, LLONG_MIN})
        EXPECT_EQ(std::to_wstring(value), plug::DecimalText(value)) << value;
}

TEST(LanguageEscapes, EachEscapeBecomesItsCharacter)
{
    EXPECT_EQ(L"a b", ExpandLanguageEscapes(L"a[_sp]b"));
    EXPECT_EQ(L"end ", ExpandLanguageEscapes(L"end[_sp]"));
    EXPECT_EQ(L"a\rb", ExpandLanguageEscapes(L"a\\rb"));
    EXPECT_EQ(L"a\nb", ExpandLanguageEscapes(L"a\\nb"));
    EXPECT_EQ(L"it's", ExpandLanguageEscapes(L"it\\'s"));
    EXPECT_EQ(L"\r\n\r\n", ExpandLanguageEscapes(L"\\r\\n\\r\\n"));
}

TEST(LanguageEscapes, OtherBackslashesAndBracketsStay)
{
    EXPECT_EQ(L"C:\\tools\\x", ExpandLanguageEscapes(L"C:\\tools\\x"));
    EXPECT_EQ(L"[_SP] [sp] [_sp", ExpandLanguageEscapes(L"[_SP] [sp] [_sp"));
    EXPECT_EQ(L"\\", ExpandLanguageEscapes(L"\\"));
    EXPECT_EQ(L"", ExpandLanguageEscapes(L""));
}

TEST(LanguageEscapes, ExpandedInOrderSoEarlierResultsFeedLaterPasses)
{
    // "\[_sp]n": the blank comes first, so no "\n" pair is formed.
    EXPECT_EQ(L"\\ n", ExpandLanguageEscapes(L"\\[_sp]n"));
    // "\\n": the second backslash and the n form the pair.
    EXPECT_EQ(L"\\\n", ExpandLanguageEscapes(L"\\\\n"));
    // "[_[_sp]sp]": one pass, not repeated until nothing changes.
    EXPECT_EQ(L"[_ sp]", ExpandLanguageEscapes(L"[_[_sp]sp]"));
}

namespace {

// The shared table of names and verdicts, also read by the image check's test.
const char kRelativeNames[] =
#include "data/relative_names.inc"
    ;

struct NameVerdict {
    std::wstring name;
    bool inside;
};

std::vector<NameVerdict> RelativeNameTable()
{
    std::vector<NameVerdict> table;
    std::string text(kRelativeNames);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        size_t blank = line.find(' ');
        if (blank == std::string::npos)
            continue;
        std::string verdict = line.substr(0, blank);
        std::string name = line.substr(blank + 1);
        table.push_back({std::wstring(name.begin(), name.end()), verdict == "inside"});
    }
    return table;
}

} // namespace

TEST(RelativeName, NamesStayInsideTheFolderOrAreRefusedAsTheImageCheckSays)
{
    std::vector<NameVerdict> table = RelativeNameTable();
    ASSERT_GE(table.size(), 20u);
    for (const NameVerdict& row : table)
        EXPECT_EQ(row.inside, plug::IsContainedRelativeName(row.name)) << std::string(row.name.begin(), row.name.end());
    EXPECT_FALSE(plug::IsContainedRelativeName(L""));
}

TEST(TextReplace, ReplacesEveryOccurrenceWithoutRescanningTheReplacement)
{
    EXPECT_EQ(L"b b b", plug::ReplaceAll(L"a a a", L"a", L"b"));
    EXPECT_EQ(L"aa aa", plug::ReplaceAll(L"a a", L"a", L"aa"));
    EXPECT_EQ(L"text", plug::ReplaceAll(L"text", L"", L"x"));
}
