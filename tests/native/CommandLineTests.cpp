#include "app/CommandLine.h"

#include <gtest/gtest.h>

using plug::ParseStartArguments;

TEST(StartArguments, NoDashLIsACdStart)
{
    for (const wchar_t* line : {L"", L"E", L"-L E", L"/l E", L"- l E"}) {
        plug::StartArguments start = ParseStartArguments(line);
        EXPECT_FALSE(start.pcStart) << line;
        EXPECT_TRUE(start.argument.empty());
        EXPECT_TRUE(start.driveLetter.empty());
        EXPECT_FALSE(start.letterMissing);
    }
}

TEST(StartArguments, DriveLetterIsTheCharacterAtPositionThree)
{
    EXPECT_EQ(L"E", ParseStartArguments(L"-l E").driveLetter);
    EXPECT_EQ(L" ", ParseStartArguments(L"-l  E").driveLetter);
    EXPECT_EQ(L"l", ParseStartArguments(L"x -l E").driveLetter);
    EXPECT_EQ(L"4", ParseStartArguments(L"-l 4").driveLetter); // not validated
    plug::StartArguments start = ParseStartArguments(L"x -l E");
    EXPECT_TRUE(start.pcStart);
    EXPECT_EQ(L"x -l E", start.argument);
}

TEST(StartArguments, TooShortForALetter)
{
    for (const wchar_t* line : {L"-l", L"-lE", L"-l "}) {
        plug::StartArguments start = ParseStartArguments(line);
        EXPECT_TRUE(start.pcStart) << line;
        EXPECT_TRUE(start.letterMissing) << line;
        EXPECT_TRUE(start.driveLetter.empty()) << line;
    }
}
