// The messages on the command service's pipe: requests, phone-setting replies, mode-change replies.
#include "service/PipeProtocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace plug;

namespace {

std::vector<uint8_t> Utf16(const std::u16string& text, size_t size)
{
    std::vector<uint8_t> bytes(size, 0);
    for (size_t i = 0; i < text.size() && 2 * i + 1 < size; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(text[i]);
        bytes[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
    return bytes;
}

bool Parses(const std::vector<uint8_t>& bytes, ServiceRequest* request)
{
    return ParseServiceRequest(bytes.data(), bytes.size(), request);
}

} // namespace

TEST(ServiceRequest, KeywordBackslashLetterThenZerosTo260Bytes)
{
    uint8_t message[kServiceMessageBytes];
    ASSERT_TRUE(BuildServiceRequest(USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO, u'E', message));
    std::vector<uint8_t> expected = Utf16(u"AUTORUNSERVICE_GETPHONESET\\E", kServiceMessageBytes);
    EXPECT_EQ(expected, std::vector<uint8_t>(message, message + kServiceMessageBytes));

    ASSERT_TRUE(BuildServiceRequest(USER_SERVICE_CONTROL_SEND_PHONE_MODE, u'F', message));
    expected = Utf16(u"AUTORUNSERVICE_MODECHANGE\\F", kServiceMessageBytes);
    EXPECT_EQ(expected, std::vector<uint8_t>(message, message + kServiceMessageBytes));

    EXPECT_FALSE(BuildServiceRequest(130, u'E', message)); // no such control code
}

TEST(ServiceRequest, ServiceReadsWhatTheClientBuilds)
{
    for (uint32_t control : {USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO, USER_SERVICE_CONTROL_SEND_PHONE_MODE}) {
        for (char16_t letter : {u'A', u'r', u'Z'}) {
            uint8_t message[kServiceMessageBytes];
            ASSERT_TRUE(BuildServiceRequest(control, letter, message));
            ServiceRequest request;
            ASSERT_TRUE(ParseServiceRequest(message, sizeof(message), &request));
            EXPECT_EQ(control, request.control);
            EXPECT_EQ(letter, request.driveLetter);
        }
    }
}

TEST(ServiceRequest, ServiceRefusesMalformedRequests)
{
    ServiceRequest request;
    std::vector<uint8_t> good = Utf16(u"AUTORUNSERVICE_MODECHANGE\\R", kServiceMessageBytes);
    ASSERT_TRUE(Parses(good, &request));

    std::vector<uint8_t> shortOne(good.begin(), good.end() - 1);
    EXPECT_FALSE(Parses(shortOne, &request));
    std::vector<uint8_t> longOne = good;
    longOne.push_back(0);
    EXPECT_FALSE(Parses(longOne, &request));
    EXPECT_FALSE(ParseServiceRequest(nullptr, kServiceMessageBytes, &request));

    // clang-format off
    const char16_t* malformed[] = {
        u"AUTORUNSERVICE_MODECHANGE/R",     u"AUTORUNSERVICE_MODECHANGER",      u"AUTORUNSERVICE_MODECHANG\\R",
        u"autorunservice_modechange\\R",    u"AUTORUNSERVICE_MODECHANGE\\1",    u"AUTORUNSERVICE_MODECHANGE\\:",
        u"AUTORUNSERVICE_MODECHANGE\\",     u"AUTORUNSERVICE_MODECHANGE\\RS",   u"AUTORUNSERVICE_GETPHONESET\\\u00C4",
        u"",                                u"\\R"};
    // clang-format on
    for (size_t i = 0; i < sizeof(malformed) / sizeof(malformed[0]); ++i)
        EXPECT_FALSE(Parses(Utf16(malformed[i], kServiceMessageBytes), &request)) << "request " << i;
}

TEST(PhoneSetReplyWire, EightLittleEndianBytesRoundTrip)
{
    uint8_t reply[kServiceMessageBytes];
    const uint8_t data[3] = {0x4C, 0x07, 0xD0};
    ASSERT_EQ(8u, EncodePhoneSetReply(-3, data, reply));
    const uint8_t expected[8] = {0xFD, 0xFF, 0xFF, 0xFF, 0x4C, 0x07, 0xD0, 0};
    EXPECT_EQ(0, std::memcmp(expected, reply, 8));

    PhoneSetReply decoded = {-1000, {0, 0, 0}, 0};
    ASSERT_TRUE(ApplyPhoneSetReply(reply, 8, &decoded));
    EXPECT_EQ(-3, decoded.nResult);
    EXPECT_EQ(0x4C, decoded.byData[0]);
    EXPECT_EQ(0xD0, decoded.byData[2]);
}

// Bytes that did not arrive keep their values; less than the result field changes nothing.
TEST(PhoneSetReplyWire, ShortRepliesOverwriteOnlyWhatArrived)
{
    const uint8_t bytes[5] = {3, 0, 0, 0, 0x40};
    PhoneSetReply reply = {-1000, {1, 2, 3}, 4};
    ASSERT_TRUE(ApplyPhoneSetReply(bytes, 5, &reply));
    EXPECT_EQ(3, reply.nResult);
    EXPECT_EQ(0x40, reply.byData[0]);
    EXPECT_EQ(2, reply.byData[1]);
    EXPECT_EQ(3, reply.byData[2]);
    EXPECT_EQ(4, reply.bySpare);

    const uint8_t partOfAResult[3] = {0x7F, 0x7F, 0x7F};
    for (size_t count = 0; count < 4; ++count)
        EXPECT_FALSE(ApplyPhoneSetReply(partOfAResult, count, &reply));
    EXPECT_EQ(3, reply.nResult);
}

TEST(ModeChangeReply, ServiceWritesZeroTerminatedDecimalText)
{
    uint8_t reply[kServiceMessageBytes];
    ASSERT_EQ(8u, EncodeModeChangeReply(-20, reply));
    EXPECT_EQ(Utf16(u"-20", 8), std::vector<uint8_t>(reply, reply + 8));
    ASSERT_EQ(4u, EncodeModeChangeReply(0, reply));
    ASSERT_EQ(24u, EncodeModeChangeReply(INT32_MIN, reply));
    EXPECT_EQ(INT32_MIN, ParseModeChangeReply(reply, 24));
    EncodeModeChangeReply(INT32_MAX, reply);
    EXPECT_EQ(INT32_MAX, ParseModeChangeReply(reply, sizeof(reply)));
}

TEST(ModeChangeReply, NumberAfterWhiteSpaceUpToTheFirstOtherCharacter)
{
    auto parse = [](const std::u16string& text) {
        std::vector<uint8_t> bytes = Utf16(text, text.size() * 2);
        return ParseModeChangeReply(bytes.data(), bytes.size());
    };
    EXPECT_EQ(-2, parse(u"-2"));
    EXPECT_EQ(7, parse(u"  7abc"));
    EXPECT_EQ(12, parse(u"\t\r\n+12 5"));
    EXPECT_EQ(0, parse(u"abc"));
    EXPECT_EQ(0, parse(u"-"));
    EXPECT_EQ(0, parse(u""));
    EXPECT_EQ(0, parse(u"\u0660")); // not an ASCII digit
    EXPECT_EQ(INT32_MAX, parse(u"99999999999999999999"));
    EXPECT_EQ(INT32_MIN, parse(u"-99999999999999999999"));
}

TEST(ModeChangeReply, ReadOnlyWithinTheBytesReceived)
{
    // A full reply of blanks and a digit, no terminating zero, then a digit that must never be read.
    std::vector<uint8_t> bytes = Utf16(std::u16string(129, u' ') + u"4" + u"5", kServiceMessageBytes + 2);
    EXPECT_EQ(4, ParseModeChangeReply(bytes.data(), kServiceMessageBytes));
    EXPECT_EQ(45, ParseModeChangeReply(bytes.data(), kServiceMessageBytes + 2));
    std::vector<uint8_t> twelve = Utf16(u"123", 6);
    EXPECT_EQ(12, ParseModeChangeReply(twelve.data(), 4));

    std::vector<uint8_t> minusFive = Utf16(u"-5", 4);
    EXPECT_EQ(-5, ParseModeChangeReply(minusFive.data(), 4));
    EXPECT_EQ(0, ParseModeChangeReply(minusFive.data(), 3)); // the half unit of "5" does not count
    EXPECT_EQ(0, ParseModeChangeReply(nullptr, 8));
}
