// The tools read their own command line: the arguments start after the program name, however
// Windows or a caller wrote that name.
#include "tools/ToolArguments.h"

#include <gtest/gtest.h>

#include <string>

using plug::ToolArguments;

TEST(ToolArguments, QuotedAndPlainProgramNamesAreSkippedWithTheBlanksAfterThem)
{
    EXPECT_EQ(std::wstring(L"autoset-257"), ToolArguments(L"\"C:\\Program Files\\x\\tool.exe\" autoset-257"));
    EXPECT_EQ(std::wstring(L"auto_run "), ToolArguments(L"C:\\x\\tool.exe \t auto_run "));
    EXPECT_EQ(std::wstring(L"a b"), ToolArguments(L"\"tool\"x a b")); // text glued to the quote belongs to the name
}

TEST(ToolArguments, NoArgumentsGiveTheEmptyText)
{
    for (const wchar_t* line : {L"", L"tool.exe", L"tool.exe   ", L"\"C:\\a b\\tool.exe\"", L"\"unclosed quote"})
        EXPECT_EQ(std::wstring(), ToolArguments(line)) << line;
}
