// Whether the driver or kit on the CD is newer than the installed one.
#include "DetectTestSupport.h"

#include "common/MessageBoxRecorder.h"
#include "config/ConfigFile.h"

using namespace plugtest;

namespace {

class UpdateCheckTest : public DetectTest {
protected:
    void SetUp() override { plug::config_detail::ResetMissingConfigMessage(); }

    // The versions on the CD, as config.ini names them.
    void Ship(const std::wstring& driverVersion, const std::wstring& kitVersion = L"")
    {
        WriteUtf16File(m_config.Path(),
                       L"[DRIVER]\ndriver_version=" + driverVersion + L"\n[ITK]\nitk_version=" + kitVersion + L"\n");
    }
    std::string RequireUpDrv(int type)
    {
        return ForEach64BitFlag([&] { return m_detect.IsRequireUpDrv(type); });
    }
    BOOL RequireUpITK(int type) { return m_detect.IsRequireUpITK(type); }

    ScopedFile m_config{plug::GetModuleDirectory() + L"config.ini"};
    MessageBoxRecorder m_boxes;
    const std::wstring m_version1234 = VersionProbe(L"ver_fixed.dll"); // a file of version 1.2.3.4
};

} // namespace

TEST_F(UpdateCheckTest, QctDisplayVersionOfThePackageKeyDecides)
{
    const std::pair<const wchar_t*, bool> keys[] = {
        {kQctDriversCode, false}, {kQctDriversCode, true}, {kQctDriversSecondCode, false}};
    for (const auto& key : keys) {
        SCOPED_TRACE(std::wstring(key.first) + (key.second ? L" Wow" : L" native"));
        FakeInstallation install;
        install.RegisterProduct(key.first, key.second, L"1.0.0.9");
        Ship(L"1.0.0.10"); // numeric, not textual
        EXPECT_EQ("111", RequireUpDrv(DRIVERTYPE_QCT));
        EXPECT_TRUE(m_run.m_bDrvPackageRegistered);
        Ship(L"1.0.0.9");
        EXPECT_EQ("000", RequireUpDrv(DRIVERTYPE_QCT));
    }
    EXPECT_EQ(0u, m_boxes.Count());
}

TEST_F(UpdateCheckTest, QctEmptyDisplayVersionEndsTheReadsAndTheBusFileDecides)
{
    m_install.RegisterProduct(kQctDriversCode, false, L"");
    m_install.RegisterProduct(kQctDriversCode, true, L"1.2.3.4"); // not read: the native read succeeded
    Ship(L"1.2.3.4");
    EXPECT_EQ("111", RequireUpDrv(DRIVERTYPE_QCT)); // no bus file
    std::wstring folder = ProgramFilesFolder() + L"Norvo Electronics\\Norvo USB Modem Drivers\\";
    m_install.files.Put(folder + L"norvox64bus.sys", m_version1234);
    EXPECT_EQ("000", RequireUpDrv(DRIVERTYPE_QCT));
    Ship(L"1.2.3.5");
    EXPECT_EQ("111", RequireUpDrv(DRIVERTYPE_QCT));
    EXPECT_TRUE(m_run.m_bDrvPackageRegistered);
}

TEST_F(UpdateCheckTest, QctWithoutPackageKeyTakesTheBusFileOfTheDriverFolder)
{
    m_install.RegisterProduct(kQctDriverCode, false, L"9.9.9.9"); // plays no part here
    m_run.m_bDrvPackageRegistered = TRUE;
    Ship(L"1.2.3.4");
    EXPECT_EQ("111", RequireUpDrv(DRIVERTYPE_QCT));
    EXPECT_FALSE(m_run.m_bDrvPackageRegistered);
    std::wstring folder = ProgramFilesFolder() + L"Norvo Electronics\\Norvo USB Modem Driver\\";
    m_install.files.Put(folder + L"norvousbbus.sys", m_version1234);
    EXPECT_EQ("000", RequireUpDrv(DRIVERTYPE_QCT));
    // A bus file without version resource reads as 0.0.0.0.
    m_install.files.Put(folder + L"norvousbbus.sys", VersionProbe(L"ver_none.dll"));
    Ship(L"0.0.0.1");
    EXPECT_EQ("111", RequireUpDrv(DRIVERTYPE_QCT));
    Ship(L"");
    EXPECT_EQ("000", RequireUpDrv(DRIVERTYPE_QCT));
}

TEST_F(UpdateCheckTest, EmpBusFileLiesInTheFolderOfTheWindowsWidth)
{
    m_run.m_bDrvPackageRegistered = TRUE;
    std::wstring base = ProgramFilesFolder() + L"Norvo Electronics\\Norvo MC USB R880 driver\\";
    m_install.files.Put(base + L"Norvo32\\i386\\norvomdbus.sys", m_version1234);
    Ship(L"1.2.3.4");
    EXPECT_EQ("011", RequireUpDrv(DRIVERTYPE_EMP)); // the 64-bit folder is empty
    m_install.files.Put(base + L"Norvo64\\amd64\\norvomdbus.sys", m_version1234);
    EXPECT_EQ("000", RequireUpDrv(DRIVERTYPE_EMP));
    EXPECT_TRUE(m_run.m_bDrvPackageRegistered); // only the QCT check sets it
    EXPECT_EQ("000", RequireUpDrv(5));
}

TEST_F(UpdateCheckTest, K21cDriverVersionComesFromItsInstallLocation)
{
    TempDir location;
    Ship(L"1.2.3.4");
    EXPECT_EQ("111", RequireUpDrv(DRIVERTYPE_FOMA_K21C)); // not registered
    std::wstring key = UninstallKeyPath(kK21cCode, false);
    m_install.registry.SetString(HKEY_LOCAL_MACHINE, key, L"InstallLocation", L"");
    EXPECT_EQ("111", RequireUpDrv(DRIVERTYPE_FOMA_K21C));
    m_install.registry.SetString(HKEY_LOCAL_MACHINE, key, L"InstallLocation",
                                 location.Path().substr(0, location.Path().size() - 1));
    EXPECT_EQ("111", RequireUpDrv(DRIVERTYPE_FOMA_K21C)); // no driver file
    m_install.files.Put(location.File(L"K21cmdm.sys"), m_version1234);
    EXPECT_EQ("000", RequireUpDrv(DRIVERTYPE_FOMA_K21C));
    Ship(L"1.3");
    EXPECT_EQ("111", RequireUpDrv(DRIVERTYPE_FOMA_K21C));
}

TEST_F(UpdateCheckTest, DriverOnlyModeNeedsNoKitUpdateAndReadsNoConfiguration)
{
    m_run.m_bFullInstall = FALSE;
    for (int type : {0, 1, 2, 3, 7})
        EXPECT_FALSE(RequireUpITK(type)) << type;
    EXPECT_EQ(0u, m_boxes.Count()); // config.ini is missing and was not read
    m_run.m_bFullInstall = TRUE;
    EXPECT_TRUE(RequireUpITK(ITKTYPE_VTP));
    EXPECT_EQ(1u, m_boxes.Count());
}

TEST_F(UpdateCheckTest, VtpKitDisplayVersionIsReadNativeFirstThenWow)
{
    Ship(L"", L"2.0.0.0");
    EXPECT_TRUE(RequireUpITK(ITKTYPE_VTP)); // not registered
    m_install.RegisterProduct(kVtpKitCode, false);
    EXPECT_TRUE(RequireUpITK(ITKTYPE_VTP)); // no version anywhere
    m_install.RegisterProduct(kVtpKitCode, true, L"1.9");
    EXPECT_TRUE(RequireUpITK(ITKTYPE_VTP));
    m_install.RegisterProduct(kVtpKitCode, true, L"2.1");
    EXPECT_FALSE(RequireUpITK(ITKTYPE_VTP));
    m_install.RegisterProduct(kVtpKitCode, false, L"2.0");
    EXPECT_FALSE(RequireUpITK(ITKTYPE_VTP)); // 2.0 equals 2.0.0.0
    m_install.RegisterProduct(kVtpKitCode, false, L"");
    EXPECT_TRUE(RequireUpITK(ITKTYPE_VTP)); // empty reads as 0.0.0.0
    Ship(L"", L"");
    EXPECT_FALSE(RequireUpITK(ITKTYPE_VTP));
}

TEST_F(UpdateCheckTest, InternetKitVersionComesFromItsProgram)
{
    Ship(L"", L"1.2.3.4");
    m_install.files.Put(ProgramFilesFolder() + L"NorvoInternetKit\\NorvoInternetKit.exe", m_version1234);
    EXPECT_TRUE(RequireUpITK(ITKTYPE_NorvoITK)); // not registered
    m_install.RegisterProduct(kNorvoKitCode, true);
    EXPECT_FALSE(RequireUpITK(ITKTYPE_NorvoITK));
    Ship(L"", L"1.2.4");
    EXPECT_TRUE(RequireUpITK(ITKTYPE_NorvoITK));
    EXPECT_FALSE(RequireUpITK(TYPE_PCSYNC));
    EXPECT_FALSE(RequireUpITK(7));
}

TEST_F(UpdateCheckTest, ConnectionManagerVersionComesFromItsProgram)
{
    TempDir folder;
    Ship(L"", L"1.2.3.4");
    m_run.m_ResDefineCommand.strITKFilename = L"K21cCM.exe";
    EXPECT_TRUE(RequireUpITK(TYPE_CM_DCM)); // no value
    m_install.registry.SetString(HKEY_CURRENT_USER, kConnectionManagerKey, L"CM_Install_path", L"");
    EXPECT_TRUE(RequireUpITK(TYPE_CM_DCM));
    m_install.registry.SetString(HKEY_CURRENT_USER, kConnectionManagerKey, L"CM_Install_path",
                                 folder.Path().substr(0, folder.Path().size() - 1));
    EXPECT_TRUE(RequireUpITK(TYPE_CM_DCM)); // no program
    m_install.files.Put(folder.File(L"K21cCM.exe"), m_version1234);
    EXPECT_FALSE(RequireUpITK(TYPE_CM_DCM));
    // A program name that leaves the install folder counts as a missing program.
    m_run.m_ResDefineCommand.strITKFilename =
        L"..\\" + folder.Path().substr(folder.Path().rfind(L'\\', folder.Path().size() - 2) + 1) + L"K21cCM.exe";
    EXPECT_TRUE(RequireUpITK(TYPE_CM_DCM));
}
