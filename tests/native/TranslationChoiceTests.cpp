#include "version/TranslationChoice.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
size_t Choose(std::vector<uint32_t> languages, uint16_t user)
{
    for (uint32_t& entry : languages)
        entry |= 0x04B00000u; // code page 1200 in the high word plays no part
    return plug::ChooseTranslation(languages.data(), languages.size(), user);
}
} // namespace

TEST(TranslationChoice, RulesApplyInOrderAndTheFirstHitOfARuleWins)
{
    EXPECT_EQ(2u, Choose({0x0411, 0x0809, 0x0409}, 0x0409)); // the user's language
    EXPECT_EQ(1u, Choose({0x0411, 0x0809, 0x0C09}, 0x0409)); // its low byte, first hit
    EXPECT_EQ(2u, Choose({0x0411, 0x0C00, 0x0000}, 0x0407)); // language 0 before low byte 0
    EXPECT_EQ(1u, Choose({0x0411, 0x0C00, 0x0409}, 0x0407)); // low byte 0 before language 9
    EXPECT_EQ(2u, Choose({0x0411, 0x0809, 0x0009}, 0x0407)); // language 9 before low byte 9
    EXPECT_EQ(1u, Choose({0x0411, 0x0809, 0x0C09}, 0x0407)); // low byte 9
    EXPECT_EQ(0u, Choose({0x0411, 0x0412}, 0x0407));         // the first entry
    EXPECT_EQ(0u, Choose({0x0411}, 0x0409));
}
