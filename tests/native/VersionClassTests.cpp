#include "app/VersionClass.h"

#include <gtest/gtest.h>

using plug::VersionClassFor;

TEST(VersionClass, EveryRowOfTheMapping)
{
    EXPECT_EQ(0, VersionClassFor(4, 0, ""));
    EXPECT_EQ(1, VersionClassFor(4, 10, ""));
    EXPECT_EQ(2, VersionClassFor(4, 10, " A "));
    EXPECT_EQ(1, VersionClassFor(4, 10, "A")); // the second character decides
    EXPECT_EQ(1, VersionClassFor(4, 10, nullptr));
    EXPECT_EQ(3, VersionClassFor(4, 90, ""));
    EXPECT_EQ(4, VersionClassFor(4, 3, ""));
    EXPECT_EQ(4, VersionClassFor(3, 51, ""));
    EXPECT_EQ(4, VersionClassFor(0, 0, ""));
    EXPECT_EQ(5, VersionClassFor(5, 0, ""));
    EXPECT_EQ(6, VersionClassFor(5, 1, "Service Pack 3"));
    EXPECT_EQ(7, VersionClassFor(5, 2, ""));
    EXPECT_EQ(-1, VersionClassFor(5, 3, ""));
    EXPECT_EQ(8, VersionClassFor(6, 0, ""));
    EXPECT_EQ(8, VersionClassFor(6, 1, ""));
    EXPECT_EQ(8, VersionClassFor(6, 2, ""));
    EXPECT_EQ(8, VersionClassFor(6, 99, ""));
    EXPECT_EQ(-1, VersionClassFor(7, 0, ""));
    EXPECT_EQ(-1, VersionClassFor(10, 0, ""));
}

TEST(VersionClass, VistaClassIsEightOrAboveComparedSigned)
{
    EXPECT_TRUE(plug::IsVistaClass(8));
    EXPECT_FALSE(plug::IsVistaClass(7));
    EXPECT_FALSE(plug::IsVistaClass(6));
    EXPECT_FALSE(plug::IsVistaClass(-1));
}
