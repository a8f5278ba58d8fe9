// The repair tool's argument: exactly "autoset-N" with N a sum of the three repair bits.
#include "autoplay/AutosetArgument.h"

#include <gtest/gtest.h>

using plug::FormatAutosetArgument;
using plug::ParseAutosetCommandLine;

TEST(AutosetArgument, EverySumOfTheThreeBitsRoundTrips)
{
    for (unsigned bits : {0x1u, 0x10u, 0x11u, 0x100u, 0x101u, 0x110u, 0x111u})
        EXPECT_EQ(bits, ParseAutosetCommandLine(FormatAutosetArgument(bits).c_str())) << bits;
    EXPECT_EQ(L"autoset-273", FormatAutosetArgument(0x111));
}

TEST(AutosetArgument, BlanksAroundTheOneArgumentAreSeparators)
{
    EXPECT_EQ(257u, ParseAutosetCommandLine(L"  autoset-257\t "));
}

TEST(AutosetArgument, AnythingElseIsRefused)
{
    // clang-format off
    for (const wchar_t* line :
         {L"", L"   ", L"autoset", L"autoset-", L"autoset-0", L"autoset-2", L"autoset-32", L"autoset-258", L"autoset-274",
          L"autoset-4096", L"autoset-4294967553", L"autoset-99999999999999999999999", L"autoset--1", L"autoset-+1",
          L"autoset-0x101", L"autoset-017", L"autoset-1x", L"xautoset-1", L"-autoset-1", L"AUTOSET-1",
          L"\"autoset-1\"", L"autoset-1 autoset-16", L"autoset-1 extra", L"autoset- 1", L"autoset-1\n",
          L"autoset-\x0661"}) // an Arabic-Indic digit one
        // clang-format on
        EXPECT_EQ(0u, ParseAutosetCommandLine(line)) << line;
}
