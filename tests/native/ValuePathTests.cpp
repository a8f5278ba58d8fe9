#include "registry/ValuePath.h"

#include <gtest/gtest.h>

using plug::SplitValuePath;

TEST(ValuePath, SplitsAtTheLastBackslash)
{
    plug::ValuePath path = SplitValuePath(L"SOFTWARE\\Norvo\\Kit\\InstallPath");
    EXPECT_EQ(L"SOFTWARE\\Norvo\\Kit", path.keyPath);
    EXPECT_EQ(L"InstallPath", path.valueName);

    path = SplitValuePath(L"SOFTWARE\\Norvo\\"); // the key's default value
    EXPECT_EQ(L"SOFTWARE\\Norvo", path.keyPath);
    EXPECT_EQ(L"", path.valueName);

    path = SplitValuePath(L"Running"); // a value directly under the root
    EXPECT_EQ(L"", path.keyPath);
    EXPECT_EQ(L"Running", path.valueName);
}

TEST(ValuePath, UserAndMachinePathsLieUnderSoftware)
{
    EXPECT_EQ(L"SOFTWARE\\Norvo Electronics Inc\\Kit\\Driver_type",
              plug::SoftwareValuePath(L"", L"Norvo Electronics Inc\\Kit", L"Driver_type"));
    EXPECT_EQ(L"SOFTWARE\\Base\\Kit\\", plug::SoftwareValuePath(L"Base", L"Kit", L""));
}
