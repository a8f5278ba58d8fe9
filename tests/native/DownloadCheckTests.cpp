#include "companion/DownloadCheck.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace plug;

namespace {

const std::wstring kNone[3] = {L"", L"", L""};
const std::wstring kServer[3] = {L"", L"http://dl.example.com", L"http://second.example.com/"};

std::wstring Key(const DownloadCheckVerdict& verdict) { return verdict.messageKey ? verdict.messageKey : L"(none)"; }

} // namespace

TEST(DownloadCheckBuffers, TextEndsAtTheFirstZeroOrAtTheBufferEnd)
{
    char buffer[8] = {'M', 'S', 'G', 0, 'x', 'x', 'x', 'x'};
    EXPECT_EQ("MSG", TextInBuffer(buffer, sizeof(buffer)));
    std::memset(buffer, 'A', sizeof(buffer)); // no terminating zero at all
    EXPECT_EQ(std::string(8, 'A'), TextInBuffer(buffer, sizeof(buffer)));
    EXPECT_EQ("", TextInBuffer(buffer, 0));
    EXPECT_EQ("", TextInBuffer(nullptr, 5));
}

TEST(DownloadCheckAnswer, SuccessGivesTheFirstServerWithOneSlashBeforeThePath)
{
    DownloadCheckVerdict verdict = InterpretDownloadCheck(true, L"xx MSG_SUCCESS xx", kServer, L"download/pcsuite");
    EXPECT_EQ(L"(none)", Key(verdict));
    EXPECT_EQ(L"http://dl.example.com/download/pcsuite", verdict.address);

    const std::wstring slashed[3] = {L"http://a.example.com/", L"http://b.example.com", L""};
    EXPECT_EQ(L"http://a.example.com/pcsuite",
              InterpretDownloadCheck(true, L"MSG_SUCCESS", slashed, L"pcsuite").address);
    EXPECT_EQ(L"http://a.example.com/", InterpretDownloadCheck(true, L"MSG_SUCCESS", slashed, L"").address);
}

TEST(DownloadCheckAnswer, SuccessWithoutAnyServerGivesNoAddress)
{
    DownloadCheckVerdict verdict = InterpretDownloadCheck(true, L"MSG_SUCCESS", kNone, L"download");
    EXPECT_TRUE(verdict.address.empty());
    EXPECT_EQ(L"(none)", Key(verdict));
}

TEST(DownloadCheckAnswer, ErrorCodesNameTheirMessageInOrderWhateverTheResult)
{
    for (bool succeeded : {false, true}) {
        SCOPED_TRACE(succeeded);
        EXPECT_EQ(L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_2",
                  Key(InterpretDownloadCheck(succeeded, L"MSG_FUNCTION_FAIL MSG_SERVER_CONN_ERROR", kServer, L"")));
        EXPECT_EQ(L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_3",
                  Key(InterpretDownloadCheck(succeeded, L"MSG_FUNCTION_FAIL;MSG_SERVER_FAIL", kServer, L"")));
        EXPECT_EQ(L"STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_4",
                  Key(InterpretDownloadCheck(succeeded, L"MSG_FUNCTION_FAIL", kServer, L"")));
        DownloadCheckVerdict unknown = InterpretDownloadCheck(succeeded, L"MSG_SOMETHING", kServer, L"x");
        EXPECT_EQ(L"(none)", Key(unknown));
        EXPECT_TRUE(unknown.address.empty());
    }
    // A failed check gives no address even when the text says success.
    DownloadCheckVerdict failed = InterpretDownloadCheck(false, L"MSG_SUCCESS", kServer, L"x");
    EXPECT_TRUE(failed.address.empty());
    EXPECT_EQ(L"(none)", Key(failed));
}

TEST(DownloadAddress, OnlyHttpAndHttpsAtTheStartAreOpened)
{
    for (const wchar_t* web : {L"http://a.example.com/x", L"HTTPS://a.example.com", L"Http://x"})
        EXPECT_TRUE(IsWebAddress(web)) << web;
    for (const wchar_t* other : {L"file:///C:/Windows/x.exe?http://a", L"/download/pcsuite", L"", L"http:/x",
                                 L" http://a", L"javascript:alert('http://')", L"https:", L"\\\\server\\http://"})
        EXPECT_FALSE(IsWebAddress(other)) << other;
}
