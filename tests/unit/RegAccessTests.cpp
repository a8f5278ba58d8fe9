// The registry helper against the prefix's real registry.
#include "common/ScopedRegistry.h"
#include "registry/RegAccess.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

using namespace plugtest;

namespace {

const wchar_t kTestKey[] = L"SOFTWARE\\Plugstart Tests\\Registry";

class RegAccessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_registry.Claim(HKEY_CURRENT_USER, kTestKey);
        m_registry.Claim(HKEY_LOCAL_MACHINE, kTestKey);
    }
    std::wstring ValuePath(const std::wstring& name) const { return std::wstring(kTestKey) + L"\\" + name; }

    ScopedRegistry m_registry;
    CRegAccess m_access;
};

} // namespace

TEST_F(RegAccessTest, WritesCreateTheKeyAndReadsGiveBackTheValues)
{
    ASSERT_FALSE(ScopedRegistry::KeyExists(HKEY_CURRENT_USER, kTestKey));
    EXPECT_TRUE(m_access.SetDWORD(REGROOT_CURRENT_USER, ValuePath(L"Count"), 0xDEADBEEF));
    EXPECT_TRUE(m_access.KeyExists(REGROOT_CURRENT_USER, kTestKey));
    EXPECT_TRUE(m_access.SetString(REGROOT_CURRENT_USER, ValuePath(L"Name"), L"Norvo"));

    DWORD count = 0;
    std::wstring name;
    EXPECT_TRUE(m_access.GetDWORD(REGROOT_CURRENT_USER, ValuePath(L"Count"), count));
    EXPECT_EQ(0xDEADBEEFu, count);
    EXPECT_TRUE(m_access.GetString(REGROOT_CURRENT_USER, ValuePath(L"Name"), name));
    EXPECT_EQ(L"Norvo", name);

    // Stored with its terminator, as REG_SZ.
    DWORD type = 0;
    DWORD size = 0;
    ::SHGetValueW(HKEY_CURRENT_USER, kTestKey, L"Name", &type, nullptr, &size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(12u, size);
}

TEST_F(RegAccessTest, UserAndMachineOperationsWorkUnderSoftware)
{
    EXPECT_TRUE(m_access.SetUserString(L"Plugstart Tests\\Registry", L"Path", L"C:\\Kit"));
    EXPECT_TRUE(m_access.SetUserDWORD(L"Plugstart Tests\\Registry", L"Running", 1));
    EXPECT_EQ(L"C:\\Kit", ReadRegistryString(HKEY_CURRENT_USER, kTestKey, L"Path"));
    std::wstring path;
    DWORD running = 0;
    EXPECT_TRUE(m_access.GetUserString(L"Plugstart Tests\\Registry", L"Path", path));
    EXPECT_TRUE(m_access.GetUserDWORD(L"Plugstart Tests\\Registry", L"Running", running));
    EXPECT_EQ(L"C:\\Kit", path);
    EXPECT_EQ(1u, running);

    m_registry.SetString(HKEY_LOCAL_MACHINE, kTestKey, L"DisplayVersion", L"2.1.0.7");
    std::wstring version;
    EXPECT_TRUE(m_access.GetMachineString(L"Plugstart Tests\\Registry", L"DisplayVersion", version));
    EXPECT_EQ(L"2.1.0.7", version);
    EXPECT_FALSE(m_access.GetUserString(L"Plugstart Tests\\Registry", L"DisplayVersion", version));
}

TEST_F(RegAccessTest, EmptyValueNameOrTrailingBackslashNamesTheDefaultValue)
{
    m_registry.SetString(HKEY_CURRENT_USER, kTestKey, L"", L"default text");
    std::wstring value;
    EXPECT_TRUE(m_access.GetUserString(L"Plugstart Tests\\Registry", L"", value));
    EXPECT_EQ(L"default text", value);
    value.clear();
    EXPECT_TRUE(m_access.GetString(REGROOT_CURRENT_USER, std::wstring(kTestKey) + L"\\", value));
    EXPECT_EQ(L"default text", value);

    EXPECT_TRUE(m_access.SetString(REGROOT_CURRENT_USER, std::wstring(kTestKey) + L"\\", L"written"));
    EXPECT_EQ(L"written", ReadRegistryString(HKEY_CURRENT_USER, kTestKey, L""));
}

TEST_F(RegAccessTest, StringsLongerThan127CharactersFailAndLeaveTheOutArgument)
{
    m_registry.SetString(HKEY_CURRENT_USER, kTestKey, L"Max", std::wstring(127, L'x'));
    m_registry.SetString(HKEY_CURRENT_USER, kTestKey, L"OneMore", std::wstring(128, L'y'));
    m_registry.SetString(HKEY_CURRENT_USER, kTestKey, L"Long", std::wstring(200, L'z'));

    std::wstring value;
    EXPECT_TRUE(m_access.GetString(REGROOT_CURRENT_USER, ValuePath(L"Max"), value));
    EXPECT_EQ(std::wstring(127, L'x'), value);
    value = L"unchanged";
    EXPECT_FALSE(m_access.GetString(REGROOT_CURRENT_USER, ValuePath(L"OneMore"), value));
    EXPECT_FALSE(m_access.GetString(REGROOT_CURRENT_USER, ValuePath(L"Long"), value));
    EXPECT_FALSE(m_access.GetString(REGROOT_CURRENT_USER, ValuePath(L"Missing"), value));
    EXPECT_EQ(L"unchanged", value);

    DWORD number = 77;
    EXPECT_FALSE(m_access.GetDWORD(REGROOT_CURRENT_USER, ValuePath(L"Missing"), number));
    EXPECT_EQ(77u, number);
}

TEST_F(RegAccessTest, ReadsTakeTheStoredBytesWhateverTheirType)
{
    m_registry.SetDWORD(HKEY_CURRENT_USER, kTestKey, L"Number", 0x00420041); // "AB" as UTF-16
    m_registry.SetString(HKEY_CURRENT_USER, kTestKey, L"Text", L"1");
    std::wstring text;
    DWORD number = 0;
    EXPECT_TRUE(m_access.GetString(REGROOT_CURRENT_USER, ValuePath(L"Number"), text));
    EXPECT_EQ(L"AB", text);
    EXPECT_TRUE(m_access.GetDWORD(REGROOT_CURRENT_USER, ValuePath(L"Text"), number));
    EXPECT_EQ(0x31u, number); // "1" and its terminator
}

TEST_F(RegAccessTest, UnknownRootIndexesFailWithoutTouchingTheRegistry)
{
    std::wstring value = L"unchanged";
    DWORD number = 5;
    for (int root : {0, 4, -1}) {
        EXPECT_FALSE(m_access.KeyExists(root, L"SOFTWARE"));
        EXPECT_FALSE(m_access.GetString(root, ValuePath(L"Name"), value));
        EXPECT_FALSE(m_access.GetDWORD(root, ValuePath(L"Count"), number));
        EXPECT_FALSE(m_access.SetString(root, ValuePath(L"Name"), L"x"));
        EXPECT_FALSE(m_access.SetDWORD(root, ValuePath(L"Count"), 1));
    }
    EXPECT_EQ(L"unchanged", value);
    EXPECT_EQ(5u, number);
    EXPECT_FALSE(ScopedRegistry::KeyExists(HKEY_CURRENT_USER, kTestKey));
    EXPECT_FALSE(ScopedRegistry::KeyExists(HKEY_LOCAL_MACHINE, kTestKey));
}

TEST_F(RegAccessTest, RootIndexesNameTheirRoots)
{
    EXPECT_TRUE(m_access.KeyExists(REGROOT_CLASSES_ROOT, L"CLSID"));
    EXPECT_TRUE(m_access.KeyExists(REGROOT_CURRENT_USER, L"Software\\Wine"));
    EXPECT_TRUE(m_access.KeyExists(REGROOT_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet"));
    EXPECT_FALSE(m_access.KeyExists(REGROOT_CURRENT_USER, L"SYSTEM\\CurrentControlSet"));
    EXPECT_FALSE(m_access.KeyExists(REGROOT_LOCAL_MACHINE, kTestKey));
}

TEST_F(RegAccessTest, ValueWithoutBackslashLivesDirectlyUnderTheRoot)
{
    struct RootValueCleanup {
        ~RootValueCleanup() { ::RegDeleteValueW(HKEY_CURRENT_USER, L"PlugstartRootValue"); }
    } cleanup;
    EXPECT_TRUE(m_access.SetString(REGROOT_CURRENT_USER, L"PlugstartRootValue", L"at the root"));
    EXPECT_EQ(L"at the root", ReadRegistryString(HKEY_CURRENT_USER, L"", L"PlugstartRootValue"));
    std::wstring value;
    EXPECT_TRUE(m_access.GetString(REGROOT_CURRENT_USER, L"PlugstartRootValue", value));
    EXPECT_EQ(L"at the root", value);
}
