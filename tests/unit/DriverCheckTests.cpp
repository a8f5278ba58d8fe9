// Whether a driver family is registered, present and installed, against the prefix's registry
// and folders.
#include "DetectTestSupport.h"

using namespace plugtest;

namespace {

class DriverCheckTest : public DetectTest {
protected:
    std::string Installed(int type)
    {
        return ForEach64BitFlag([&] { return m_detect.IsInstalledDriver(type); });
    }
    std::string PackageInstalled(int type)
    {
        return ForEach64BitFlag([&] { return m_detect.IsSuccessInstallingDriver(type); });
    }
    BOOL ScanModemClass(std::vector<std::wstring> names)
    {
        return m_detect.FindClassDriverDesc(3, kModemClassKey, L"DriverDesc", std::move(names));
    }
};

} // namespace

TEST_F(DriverCheckTest, QctNeedsRegistrationAndOn32BitAlsoItsSystemFiles)
{
    EXPECT_EQ("000", Installed(DRIVERTYPE_QCT));
    m_install.PutQctSystemFiles();
    EXPECT_EQ("000", Installed(DRIVERTYPE_QCT)); // files without registration
    m_install.RegisterQctDevice();
    EXPECT_EQ("111", Installed(DRIVERTYPE_QCT));
}

TEST_F(DriverCheckTest, QctRegisteredWithoutFilesCountsOnlyOn64BitWindows)
{
    m_install.RegisterQctDevice();
    EXPECT_EQ("011", Installed(DRIVERTYPE_QCT));
    // Either name of each pair will do; every pair must be there.
    std::wstring drivers = SystemDriversFolder();
    m_install.files.Put(drivers + L"norvox64bus.sys");
    m_install.files.Put(drivers + L"norvousbdiag.sys");
    EXPECT_FALSE(m_detect.IsDriverFileQCT());
    m_install.files.Put(drivers + L"norvox64modem.sys");
    EXPECT_TRUE(m_detect.IsDriverFileQCT());
    EXPECT_EQ("111", Installed(DRIVERTYPE_QCT));
}

TEST_F(DriverCheckTest, QctRegistrationNeedsEveryEnumKeyAndEveryClass)
{
    const wchar_t* enumKeys[] = {L"Vid_2C7D&Pid_7A10", L"VID_2C7D&PID_7A10_DIAGInterface",
                                 L"VID_2C7D&PID_7A10_MODEMInterface"};
    const std::pair<const wchar_t*, const wchar_t*> classes[] = {{kUsbClassKey, L"NorvoE CDMA Composite USB Device"},
                                                                 {kModemClassKey, L"NorvoE CDMA USB Modem"},
                                                                 {kPortsClassKey, L"NorvoE CDMA USB Serial Port"}};
    for (int missing = 0; missing <= 6; ++missing) {
        SCOPED_TRACE(missing);
        FakeInstallation install;
        for (int key = 0; key < 3; ++key) {
            if (key != missing)
                install.AddEnumKey(enumKeys[key]);
        }
        for (int entry = 0; entry < 3; ++entry) {
            if (entry + 3 != missing)
                install.AddClassEntry(classes[entry].first, 0, classes[entry].second);
        }
        EXPECT_EQ(missing == 6, m_detect.IsRegisteredDriverQCT() != FALSE);
    }
}

TEST_F(DriverCheckTest, ClassScanStopsAtTheFirstGapInTheNumbering)
{
    m_install.AddClassEntry(kModemClassKey, 0, L"Other Modem");
    m_install.AddClassEntry(kModemClassKey, 1, L"Another Modem");
    m_install.AddClassEntry(kModemClassKey, 3, L"NorvoE Mobile USB Modem");
    EXPECT_FALSE(ScanModemClass({L"NorvoE Mobile USB Modem"}));
    m_install.registry.CreateKey(HKEY_LOCAL_MACHINE, std::wstring(kModemClassKey) + L"\\0002"); // no DriverDesc
    EXPECT_TRUE(ScanModemClass({L"NorvoE Mobile USB Modem"}));
}

TEST_F(DriverCheckTest, ClassScanComparesWholeNamesIgnoringCase)
{
    EXPECT_FALSE(ScanModemClass({L"NorvoE Mobile USB Modem"})); // no class key at all
    m_install.AddClassEntry(kModemClassKey, 0, L"NorvoE Mobile USB Modem #2");
    m_install.AddClassEntry(kModemClassKey, 1, std::wstring(130, L'x')); // too long to read: skipped
    m_install.AddClassEntry(kModemClassKey, 2, L"NORVOE cdma usb MODEM");
    EXPECT_FALSE(ScanModemClass({L"NorvoE Mobile USB Modem", L"NorvoE Mobile USB Modem #"}));
    EXPECT_TRUE(ScanModemClass({L"NorvoE Mobile USB Modem", L"NorvoE CDMA USB Modem"}));
    EXPECT_FALSE(m_detect.FindClassDriverDesc(2, kModemClassKey, L"DriverDesc", {L"NorvoE CDMA USB Modem"}));
}

TEST_F(DriverCheckTest, EmpNeedsUsbAndModemClassesAndOn32BitAllEightFiles)
{
    m_install.PutEmpSystemFiles();
    EXPECT_EQ("000", Installed(DRIVERTYPE_EMP));
    m_install.AddEnumKey(L"Vid_2C7D&Pid_7A21");
    m_install.AddEnumKey(L"Vid_2C7D&Pid_7A21&Mi_01");
    m_install.AddClassEntry(kUsbClassKey, 0, L"Norvo Mobile");
    EXPECT_EQ("000", Installed(DRIVERTYPE_EMP)); // no modem class entry yet
    m_install.AddClassEntry(kModemClassKey, 0, L"Norvo Mobile USB WMC Data Modem");
    EXPECT_EQ("111", Installed(DRIVERTYPE_EMP)); // the Ports class is not needed
    RemoveFileForced(SystemDriversFolder() + L"norvomdcm.sys");
    EXPECT_EQ("011", Installed(DRIVERTYPE_EMP));
}

TEST_F(DriverCheckTest, UnknownDriverTypesCountAsInstalled)
{
    for (int type : {5, -1}) {
        EXPECT_EQ("111", Installed(type));
        EXPECT_EQ("111", PackageInstalled(type));
    }
}

TEST_F(DriverCheckTest, QctPackageKeysChooseTheFolderOfItsFiles)
{
    struct Case {
        const wchar_t* code;
        bool wow;
        const wchar_t* folder;
    };
    const Case cases[] = {{kQctDriversCode, false, L"Norvo USB Modem Drivers"},
                          {kQctDriversCode, true, L"Norvo USB Modem Drivers"},
                          {kQctDriversSecondCode, false, L"Norvo USB Modem Drivers"},
                          {kQctDriverCode, false, L"Norvo USB Modem Driver"},
                          {kQctDriverCode, true, L"Norvo USB Modem Driver"}};
    for (const Case& test : cases) {
        SCOPED_TRACE(std::wstring(test.code) + (test.wow ? L" Wow" : L" native"));
        FakeInstallation install;
        install.RegisterProduct(test.code, test.wow);
        // In the other edition's folder the files are not looked for, and the device is not
        // registered, so the fallback answers FALSE.
        bool plural = std::wstring(test.folder).back() == L's';
        install.PutQctPackageFiles(plural ? L"Norvo USB Modem Driver" : L"Norvo USB Modem Drivers");
        EXPECT_EQ("000", PackageInstalled(DRIVERTYPE_QCT));
        install.PutQctPackageFiles(test.folder);
        EXPECT_EQ("111", PackageInstalled(DRIVERTYPE_QCT));
    }
}

TEST_F(DriverCheckTest, QctPackageFallsBackToTheInstalledDriver)
{
    m_install.RegisterQctDevice();
    EXPECT_EQ("011", PackageInstalled(DRIVERTYPE_QCT)); // no package key: IsInstalledDriver
    m_install.RegisterProduct(kQctDriversCode);
    m_install.files.Put(ProgramFilesFolder() + L"Norvo Electronics\\Norvo USB Modem Drivers\\norvousbbus.sys");
    EXPECT_EQ("011", PackageInstalled(DRIVERTYPE_QCT)); // package files incomplete
    m_install.PutQctSystemFiles(true);
    EXPECT_EQ("111", PackageInstalled(DRIVERTYPE_QCT));
}

TEST_F(DriverCheckTest, EmpPackageFilesLieInTheFolderOfTheWindowsWidth)
{
    m_install.RegisterProduct(kEmpDriverCode, true);
    std::wstring base = ProgramFilesFolder() + L"Norvo Electronics\\Norvo MC USB R880 Driver\\";
    // Seven files: the package has no "norvomdcm.sys".
    for (const wchar_t* name : {L"norvomdbus.sys", L"norvomdcmnt.sys", L"norvomdmdfl.sys", L"norvomdmdm.sys",
                                L"norvomdmgmt.sys", L"norvomdobex.sys", L"norvomdwhnt.sys"})
        m_install.files.Put(base + L"Norvo32\\i386\\" + name);
    EXPECT_EQ("100", PackageInstalled(DRIVERTYPE_EMP));
    m_install.RegisterEmpDevice(); // the 64-bit answers fall back to the registration
    EXPECT_EQ("111", PackageInstalled(DRIVERTYPE_EMP));
}

TEST_F(DriverCheckTest, K21cPackageFilesLieInItsInstallLocation)
{
    TempDir location;
    std::wstring key = UninstallKeyPath(kK21cCode, false);
    EXPECT_EQ("000", Installed(DRIVERTYPE_FOMA_K21C)); // no key
    m_install.registry.SetString(HKEY_LOCAL_MACHINE, UninstallKeyPath(kK21cCode, true), L"InstallLocation",
                                 location.Path());
    m_install.files.Put(location.File(L"K21cbus.sys"));
    m_install.files.Put(location.File(L"K21c64mdm.sys"));
    EXPECT_EQ("000", Installed(DRIVERTYPE_FOMA_K21C)); // the location is read from the native key only
    m_install.registry.SetString(HKEY_LOCAL_MACHINE, key, L"InstallLocation", L"");
    EXPECT_EQ("000", Installed(DRIVERTYPE_FOMA_K21C));
    std::wstring withoutBackslash = location.Path().substr(0, location.Path().size() - 1);
    for (const std::wstring& path : {withoutBackslash, location.Path()}) {
        m_install.registry.SetString(HKEY_LOCAL_MACHINE, key, L"InstallLocation", path);
        EXPECT_EQ("111", Installed(DRIVERTYPE_FOMA_K21C));
        EXPECT_EQ("111", PackageInstalled(DRIVERTYPE_FOMA_K21C));
    }
    RemoveFileForced(location.File(L"K21c64mdm.sys"));
    EXPECT_EQ("000", PackageInstalled(DRIVERTYPE_FOMA_K21C));
}
