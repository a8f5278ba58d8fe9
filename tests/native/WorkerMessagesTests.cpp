// The texts of the worker's messages: the product that replaces "Norvo PC Suite", the choice of
// the kit-failure text, and which failures of a vendor command have a message of their own.
#include "core/WorkerMessages.h"

#include "run/ResDefineCommand.h"

#include <gtest/gtest.h>

#include <climits>

using namespace plug;

namespace {
const std::wstring kNotInstalled = L"Norvo PC Suite was not installed. Install Norvo PC Suite again.";
const std::wstring kNotInstalledCm = L"CM own text";
} // namespace

TEST(ProductName, EveryOccurrenceIsReplacedByTheKitsProduct)
{
    const std::wstring text = L"Norvo PC SuiteNorvo PC Suite: run Norvo PC Suite III";
    EXPECT_EQ(L"Norvo Internet KitNorvo Internet Kit: run Norvo Internet Kit III",
              WithProductName(text, ITKTYPE_NorvoITK));
    EXPECT_EQ(L"Vodafone Mobile Connect via the phoneVodafone Mobile Connect via the phone: run Vodafone Mobile "
              L"Connect via the phone III",
              WithProductName(text, ITKTYPE_VTP));
    EXPECT_EQ(L"Norvo Connection ManagerNorvo Connection Manager: run Norvo Connection Manager III",
              WithProductName(text, TYPE_CM_DCM));
    // The PC suite keeps its name, and so does an unknown kit type.
    EXPECT_EQ(text, WithProductName(text, TYPE_PCSYNC));
    EXPECT_EQ(text, WithProductName(text, 9));
}

TEST(ProductName, OnlyTheWholeNameInItsCaseIsReplaced)
{
    EXPECT_EQ(L"norvo pc suite, Norvo PC Suit", WithProductName(L"norvo pc suite, Norvo PC Suit", ITKTYPE_NorvoITK));
    EXPECT_EQ(L"", WithProductName(L"", ITKTYPE_VTP));
    EXPECT_EQ(L"Norvo Internet Kit", WithProductName(L"Norvo PC Suite", ITKTYPE_NorvoITK));
}

TEST(KitFailureText, JapaneseConnectionManagerHasATextOfItsOwnUnlessItIsBlank)
{
    EXPECT_EQ(kNotInstalledCm, KitNotInstalledText(TYPE_CM_DCM, true, kNotInstalled, kNotInstalledCm));
    // A blank or missing "_CM" text: the general text, without a product replacement.
    EXPECT_EQ(kNotInstalled, KitNotInstalledText(TYPE_CM_DCM, true, kNotInstalled, L"   "));
    EXPECT_EQ(kNotInstalled, KitNotInstalledText(TYPE_CM_DCM, true, kNotInstalled, L""));
    // A text with anything but blanks in it is used as it is.
    EXPECT_EQ(L" \t", KitNotInstalledText(TYPE_CM_DCM, true, kNotInstalled, L" \t"));
}

TEST(KitFailureText, OtherLanguagesAndKitsGetTheGeneralTextWithTheProduct)
{
    EXPECT_EQ(L"Norvo Connection Manager was not installed. Install Norvo Connection Manager again.",
              KitNotInstalledText(TYPE_CM_DCM, false, kNotInstalled, kNotInstalledCm));
    EXPECT_EQ(L"Norvo Internet Kit was not installed. Install Norvo Internet Kit again.",
              KitNotInstalledText(ITKTYPE_NorvoITK, true, kNotInstalled, kNotInstalledCm));
    EXPECT_EQ(L"Vodafone Mobile Connect via the phone was not installed. Install Vodafone Mobile Connect via the "
              L"phone again.",
              KitNotInstalledText(ITKTYPE_VTP, false, kNotInstalled, kNotInstalledCm));
}

TEST(ScsiFailureKey, OnlyTheThreeFailuresHaveAKey)
{
    EXPECT_EQ(L"STR_STRING_ERROR_SCSI_0_0",
              ScsiFailureKey(-1, CommandSender::Program, VendorCommand::PhoneSettingQuery));
    EXPECT_EQ(L"STR_STRING_ERROR_SCSI_6_1", ScsiFailureKey(-3, CommandSender::Service, VendorCommand::ModeChange));
    for (int result : {0, 3, -4, -20, -1000, INT_MIN, INT_MAX}) {
        EXPECT_EQ(L"", ScsiFailureKey(result, CommandSender::Program, VendorCommand::PhoneSettingQuery)) << result;
        EXPECT_EQ(L"", ScsiFailureKey(result, CommandSender::Service, VendorCommand::ModeChange)) << result;
    }
}

TEST(ScsiFailureKey, EveryFailedDirectPhoneQueryHasAText)
{
    EXPECT_EQ(L"STR_STRING_ERROR_SCSI_0_0", PhoneQueryFailureKey(-1));
    EXPECT_EQ(L"STR_STRING_ERROR_SCSI_1_0", PhoneQueryFailureKey(-2));
    for (int result : {-3, -4, -19, -21, -1000, INT_MIN})
        EXPECT_EQ(L"STR_STRING_ERROR_SCSI_2_0", PhoneQueryFailureKey(result)) << result;
}
