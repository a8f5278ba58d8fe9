#include "detect/ModemNames.h"

#include <gtest/gtest.h>

using plug::NorvoModemNameList;

TEST(ModemNames, MakersModemsAreListedInOrderEachWithASemicolon)
{
    EXPECT_EQ(L"", NorvoModemNameList({}));
    EXPECT_EQ(L"NorvoE Mobile USB Modem;NorvoE CDMA USB Modem #2;",
              NorvoModemNameList({{L"modem", L"NorvoE Mobile USB Modem"},
                                  {L"isdn", L"NorvoE ISDN"},
                                  {L"MODEM", L"Standard 56000 bps Modem"},
                                  {L"Modem", L"NorvoE CDMA USB Modem #2"}}));
}

TEST(ModemNames, TypeIgnoresCaseButTheMakersNameDoesNot)
{
    EXPECT_EQ(L"", NorvoModemNameList({{L"MODEM", L"NORVOE Mobile USB Modem"}, {L"MODEM", L"norvoe modem"}}));
    EXPECT_EQ(L"", NorvoModemNameList({{L"MODEMS", L"NorvoE Modem"}, {L"vpn", L"NorvoE VPN"}}));
    EXPECT_EQ(L"My NorvoE;", NorvoModemNameList({{L"mOdEm", L"My NorvoE"}}));
}
