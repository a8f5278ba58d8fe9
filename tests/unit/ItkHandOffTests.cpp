// The values left for the Internet Kit in the user's registry.
#include "DetectTestSupport.h"

#include <shlwapi.h>

using namespace plugtest;

namespace {

const wchar_t kHandOffKey[] = L"SOFTWARE\\Norvo Electronics Inc\\3G NorvoInternetKit_AutoRun";

class ItkHandOffTest : public DetectTest {
protected:
    void SetUp() override { m_install.registry.Claim(HKEY_CURRENT_USER, kHandOffKey); }
};

} // namespace

TEST_F(ItkHandOffTest, DriverTypeIsEmpOnlyForTheEmpFamily)
{
    m_run.m_ResDefineCommand.nITKType = ITKTYPE_VTP;
    m_detect.SaveDriverTypeForITK();
    EXPECT_FALSE(ScopedRegistry::KeyExists(HKEY_CURRENT_USER, kHandOffKey)); // nothing for this kit type

    m_run.m_ResDefineCommand.nITKType = ITKTYPE_NorvoITK;
    const std::pair<int, const wchar_t*> cases[] = {
        {DRIVERTYPE_EMP, L"EMP"}, {DRIVERTYPE_QCT, L"QCT"}, {DRIVERTYPE_FOMA_K21C, L"QCT"}};
    for (const auto& test : cases) {
        m_run.m_ResDefineCommand.nDriverType = test.first;
        m_detect.SaveDriverTypeForITK();
        EXPECT_EQ(test.second, ReadRegistryString(HKEY_CURRENT_USER, kHandOffKey, L"Driver_type")) << test.first;
    }
}

TEST_F(ItkHandOffTest, ModemNamesAreRewrittenEvenWhenRemoteAccessKnowsNone)
{
    // Wine's Remote Access lists no devices: the value is written empty over an old list.
    m_install.registry.SetString(HKEY_CURRENT_USER, kHandOffKey, L"NorvoEModem_NameArray", L"Old NorvoE Modem;");
    m_detect.SaveModemNamesForITK();
    EXPECT_TRUE(ScopedRegistry::KeyExists(HKEY_CURRENT_USER, kHandOffKey));
    EXPECT_EQ(L"", ReadRegistryString(HKEY_CURRENT_USER, kHandOffKey, L"NorvoEModem_NameArray"));
    DWORD type = 0;
    DWORD size = 0;
    ::SHGetValueW(HKEY_CURRENT_USER, kHandOffKey, L"NorvoEModem_NameArray", &type, nullptr, &size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(2u, size); // the terminator
}
