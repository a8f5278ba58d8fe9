// The pass-through request of Devpoke, byte for byte, and how the answer is read back.
#include "common/DevpokeExpectation.h"
#include "devpoke/DevpokeRequest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace devpoke;
using plugtest::ExpectedDevpokeRequest;

namespace {

std::vector<uint8_t> Built(int first, int second, int dataLength)
{
    Request request;
    std::memset(request.bytes, 0xAA, sizeof(request.bytes)); // leftovers of an earlier request
    BuildRequest(BuildCdb(first, second), dataLength, &request);
    return std::vector<uint8_t>(request.bytes, request.bytes + kRequestSize);
}

} // namespace

TEST(DevpokeRequest, QueryAndModeChangeFormsLaidOutByteForByte)
{
    EXPECT_EQ(ExpectedDevpokeRequest(0x02, 0x20, 3), Built(0x02, 0x20, 3));
    EXPECT_EQ(ExpectedDevpokeRequest(0x01, 0x01, 0), Built(0x01, 0x01, 0));
    EXPECT_EQ(ExpectedDevpokeRequest(0x01, 0x81, 1), Built(0x01, 0x81, 1));
    EXPECT_EQ(ExpectedDevpokeRequest(0x01, 0x81, 1024), Built(0x01, 0x81, 1024));
}

// The data area holds 1,024 bytes: every length up to it is asked for, none beyond it.
TEST(DevpokeRequest, DataLengthsFrom0To1024AreValidAndNoOthers)
{
    for (int valid : {0, 1, 3, 1023, 1024})
        EXPECT_TRUE(IsValidDataLength(valid)) << valid;
    for (int invalid : {-1, 1025, 2048, -2147483647 - 1, 2147483647})
        EXPECT_FALSE(IsValidDataLength(invalid)) << invalid;
}

TEST(DevpokeRequest, OnlyTheLowBytesOfTheCommandBytesCount)
{
    Cdb cdb = BuildCdb(0x1202, -224); // -224 is 0x...FF20
    const uint8_t expected[kCdbLength] = {0xF1, 0x02, 0x20, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(expected, cdb.bytes, kCdbLength));
}

TEST(DevpokeDriveLetter, LettersOfEitherCaseByTheirLowByte)
{
    const int letters[] = {'A', 'Z', 'a', 'z', 'E', 0x100 + 'E', -256 + 'e'};
    for (int letter : letters)
        EXPECT_TRUE(IsDriveLetter(letter)) << letter;
    const int others[] = {'0', '9', '@', '[', '`', '{', ':', '\\', 0, 0xC4, 0x100 + '1', -1};
    for (int other : others)
        EXPECT_FALSE(IsDriveLetter(other)) << other;
}

TEST(DevpokeAnswer, CountIsWhatWindowsReturnedBeyondTheDataOffset)
{
    Request request;
    BuildRequest(BuildCdb(2, 0x20), 3, &request);
    request.bytes[80] = 0x4C;
    request.bytes[81] = 0x07;
    request.bytes[82] = 0xD0;
    uint8_t answer[4] = {0, 0, 0, 0x55};
    EXPECT_EQ(3, TakeAnswer(request, 83, 3, answer));
    EXPECT_EQ(0x4C, answer[0]);
    EXPECT_EQ(0x07, answer[1]);
    EXPECT_EQ(0xD0, answer[2]);
    EXPECT_EQ(0x55, answer[3]); // nothing beyond the count

    uint8_t shortAnswer[3] = {};
    EXPECT_EQ(2, TakeAnswer(request, 82, 3, shortAnswer));
    EXPECT_EQ(0, shortAnswer[2]);
}

TEST(DevpokeAnswer, OutOfRangeCountsGiveZeroAndCopyNothing)
{
    Request request;
    BuildRequest(BuildCdb(1, 1), 0, &request);
    request.bytes[80] = 0x99;
    uint8_t answer[1] = {0};
    EXPECT_EQ(0, TakeAnswer(request, 80, 0, answer)); // only header and sense returned
    EXPECT_EQ(0, TakeAnswer(request, 44, 0, answer)); // only the header: wraps below zero
    EXPECT_EQ(0, TakeAnswer(request, 0, 0, answer));
    EXPECT_EQ(0, TakeAnswer(request, 80 + 1025, 1024, answer));
    EXPECT_EQ(0, TakeAnswer(request, 81, 0, answer)); // more than the caller asked for
    EXPECT_EQ(0, answer[0]);
}
