#include "version/VersionText.h"
#include "service/ServiceVersionText.h"

#include <gtest/gtest.h>

TEST(ServiceVersionText, CommasBecomeDotsAndBlanksGo)
{
    EXPECT_EQ(L"1.0.2.5", plug::NormalizeServiceVersionText(L"1, 0, 2, 5"));
    EXPECT_EQ(L"1.0.2.5", plug::NormalizeServiceVersionText(L" 1 ,0 , 2,5 "));
    EXPECT_EQ(L"", plug::NormalizeServiceVersionText(L"  "));
}

TEST(ServiceVersionText, InstalledWithCommasComparesWithShippedDots)
{
    std::wstring installed = plug::NormalizeServiceVersionText(L"1, 0, 2, 5");
    EXPECT_TRUE(plug::IsNewerVersion(installed, L"1.0.2.6"));
    EXPECT_FALSE(plug::IsNewerVersion(installed, L"1.0.2.5"));
    EXPECT_FALSE(plug::IsNewerVersion(plug::NormalizeServiceVersionText(L"1, 0, 2, 7"), L"1.0.2.6"));
}

TEST(ServiceVersionText, TheServiceIsFoundByNameInAnyLetterCase)
{
    EXPECT_TRUE(plug::NamesServiceExecutable(L"C:\\WINDOWS\\system32\\NorvoAutorunService.exe"));
    EXPECT_TRUE(plug::NamesServiceExecutable(L"C:\\WINDOWS\\system32\\NORVOAUTORUNSERVICE.EXE"));
    EXPECT_TRUE(plug::NamesServiceExecutable(L"x\\norvoautorunservice.exe.bak"));
    EXPECT_FALSE(plug::NamesServiceExecutable(L"C:\\WINDOWS\\system32\\Devpoke.dll"));
    EXPECT_FALSE(plug::NamesServiceExecutable(L"NorvoAutorunService.ex"));
}
