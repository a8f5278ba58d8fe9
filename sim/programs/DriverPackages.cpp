#include "DriverPackages.h"

#include "framework/StringFormat.h"

namespace sim {

const wchar_t kEnumUsbKey[] = L"SYSTEM\\CurrentControlSet\\Enum\\USB";

namespace {

const wchar_t kUsbClass[] = L"SYSTEM\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";
const wchar_t kModemClass[] = L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const wchar_t kPortsClass[] = L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E978-E325-11CE-BFC1-08002BE10318}";

const wchar_t kQctDriversCode[] = L"{F6082B9D-4E13-4C7A-B5E2-3D9A61C07E85}";
const wchar_t kQctDriversSecondCode[] = L"{C1935E7B-2A48-4F06-8D1C-7B3E90A5D264}";
const wchar_t kQctDriverCode[] = L"{A47F1C03-6B2E-4D85-B390-5E1D7C28F94B}";
const wchar_t kEmpCode[] = L"{8E2D6A14-3C90-4F7B-A1D5-92B7C0E4F613}";
const wchar_t kK21cCode[] = L"{5B0C31E2-7D4A-4E19-9C2B-1A6F83D2E7A0}";

const wchar_t kQctDriversFolder[] = L"Norvo Electronics\\Norvo USB Modem Drivers";
const wchar_t kQctDriverFolder[] = L"Norvo Electronics\\Norvo USB Modem Driver";
const wchar_t kEmpFolder[] = L"Norvo Electronics\\Norvo MC USB R880 Driver";
const wchar_t kK21cFolder[] = L"K-21C Connection Manager";

std::vector<ClassEntry> QctClasses()
{
    return {{kUsbClass, {L"NorvoE Mobile Composite USB Device", L"NorvoE CDMA Composite USB Device"}},
            {kModemClass, {L"NorvoE Mobile USB Modem", L"NorvoE CDMA USB Modem"}},
            {kPortsClass, {L"NorvoE Mobile USB Serial Port", L"NorvoE CDMA USB Serial Port"}}};
}

std::vector<ClassEntry> EmpClasses()
{
    return {{kUsbClass, {L"Norvo Mobile"}},
            {kModemClass, {L"Norvo Mobile USB WMC Data Modem"}},
            {kPortsClass, {L"Norvo Mobile USB WMC OBEX Interface"}}};
}

std::vector<std::wstring> QctFiles() { return {L"norvousbbus.sys", L"norvousbdiag.sys", L"norvousbmodem.sys"}; }
std::vector<std::wstring> QctX64Files() { return {L"norvox64bus.sys", L"norvox64diag.sys", L"norvox64modem.sys"}; }

std::vector<std::wstring> EmpFiles()
{
    return {L"norvomdbus.sys", L"norvomdcm.sys",   L"norvomdcmnt.sys", L"norvomdmdfl.sys",
            L"norvomdmdm.sys", L"norvomdmgmt.sys", L"norvomdobex.sys", L"norvomdwhnt.sys"};
}

const std::vector<std::wstring> kQctEnumKeys = {L"Vid_2C7D&Pid_7A10", L"VID_2C7D&PID_7A10_DIAGInterface",
                                                L"VID_2C7D&PID_7A10_MODEMInterface"};
const std::vector<std::wstring> kEmpEnumKeys = {L"Vid_2C7D&Pid_7A21", L"Vid_2C7D&Pid_7A21&Mi_01"};

std::wstring EmpPlatformFolder(bool is64BitWindows)
{
    return std::wstring(kEmpFolder) + (is64BitWindows ? L"\\Norvo64\\amd64" : L"\\Norvo32\\i386");
}

} // namespace

bool ParseDriverFamily(const std::wstring& text, DriverFamily* family)
{
    for (DriverFamily candidate : {DriverFamily::Qct, DriverFamily::Emp, DriverFamily::K21c}) {
        if (plug::EqualsNoCase(text, DriverFamilyName(candidate))) {
            *family = candidate;
            return true;
        }
    }
    return false;
}

const wchar_t* DriverFamilyName(DriverFamily family)
{
    switch (family) {
    case DriverFamily::Qct:
        return L"QCT";
    case DriverFamily::Emp:
        return L"EMP";
    case DriverFamily::K21c:
        return L"FOMA_K21C";
    }
    return L"";
}

bool ParseQctEdition(const std::wstring& text, QctEdition* edition)
{
    if (plug::EqualsNoCase(text, L"drivers"))
        *edition = QctEdition::Drivers;
    else if (plug::EqualsNoCase(text, L"drivers2"))
        *edition = QctEdition::DriversSecondCode;
    else if (plug::EqualsNoCase(text, L"driver"))
        *edition = QctEdition::Driver;
    else
        return false;
    return true;
}

DriverPackage PackageToInstall(DriverFamily family, QctEdition edition, bool is64BitWindows)
{
    DriverPackage package;
    switch (family) {
    case DriverFamily::Qct:
        package.enumKeys = kQctEnumKeys;
        package.classEntries = QctClasses();
        package.systemFiles = QctFiles();
        package.packageFiles = QctFiles();
        package.packageFolder = edition == QctEdition::Driver ? kQctDriverFolder : kQctDriversFolder;
        package.productCode = edition == QctEdition::Drivers             ? kQctDriversCode
                              : edition == QctEdition::DriversSecondCode ? kQctDriversSecondCode
                                                                         : kQctDriverCode;
        break;
    case DriverFamily::Emp:
        package.enumKeys = kEmpEnumKeys;
        package.classEntries = EmpClasses();
        package.systemFiles = EmpFiles();
        package.packageFiles = EmpFiles();
        package.packageFolder = EmpPlatformFolder(is64BitWindows);
        package.productCode = kEmpCode;
        break;
    case DriverFamily::K21c:
        package.packageFiles = {L"K21cbus.sys", L"K21cmdm.sys"};
        package.packageFolder = kK21cFolder;
        package.productCode = kK21cCode;
        break;
    }
    return package;
}

DriverRemovalSet PackageToRemove(DriverFamily family)
{
    DriverRemovalSet removal;
    switch (family) {
    case DriverFamily::Qct:
        removal.enumKeys = kQctEnumKeys;
        removal.classEntries = QctClasses();
        removal.systemFiles = QctFiles();
        for (const std::wstring& name : QctX64Files())
            removal.systemFiles.push_back(name);
        removal.packageFiles = removal.systemFiles;
        removal.packageFolders = {kQctDriversFolder, kQctDriverFolder};
        removal.productCodes = {kQctDriversCode, kQctDriversSecondCode, kQctDriverCode};
        break;
    case DriverFamily::Emp:
        removal.enumKeys = kEmpEnumKeys;
        removal.classEntries = EmpClasses();
        removal.systemFiles = EmpFiles();
        removal.packageFiles = EmpFiles();
        removal.packageFolders = {EmpPlatformFolder(false), std::wstring(kEmpFolder) + L"\\Norvo32",
                                  EmpPlatformFolder(true), std::wstring(kEmpFolder) + L"\\Norvo64", kEmpFolder};
        removal.productCodes = {kEmpCode};
        break;
    case DriverFamily::K21c:
        removal.packageFiles = {L"K21cbus.sys", L"K21cmdm.sys", L"K21c64bus.sys", L"K21c64mdm.sys"};
        removal.packageFolders = {kK21cFolder};
        removal.productCodes = {kK21cCode};
        removal.usesInstallLocation = true;
        break;
    }
    return removal;
}

} // namespace sim
