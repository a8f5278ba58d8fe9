#include "FakeInstallation.h"

#include "TestFiles.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>

namespace plugtest {

const wchar_t kUsbClassKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";
const wchar_t kModemClassKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const wchar_t kPortsClassKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E978-E325-11CE-BFC1-08002BE10318}";
const wchar_t* const kClassKeys[3] = {kUsbClassKey, kModemClassKey, kPortsClassKey};

const wchar_t kEnumUsb[] = L"SYSTEM\\CurrentControlSet\\Enum\\USB\\";
const wchar_t* const kEnumKeys[5] = {L"Vid_2C7D&Pid_7A10", L"VID_2C7D&PID_7A10_DIAGInterface",
                                     L"VID_2C7D&PID_7A10_MODEMInterface", L"Vid_2C7D&Pid_7A21",
                                     L"Vid_2C7D&Pid_7A21&Mi_01"};
const wchar_t* const kQctFiles[3] = {L"norvousbbus.sys", L"norvousbdiag.sys", L"norvousbmodem.sys"};
const wchar_t* const kEmpFiles[8] = {L"norvomdbus.sys", L"norvomdcm.sys",   L"norvomdcmnt.sys", L"norvomdmdfl.sys",
                                     L"norvomdmdm.sys", L"norvomdmgmt.sys", L"norvomdobex.sys", L"norvomdwhnt.sys"};

const wchar_t kPcSuiteKey[] = L"SOFTWARE\\Norvo Electronics Inc\\Norvo PC Suite III";
const wchar_t kConnectionManagerKey[] = L"SOFTWARE\\K-21C-ConnectionManager";

const wchar_t kQctDriversCode[] = L"{F6082B9D-4E13-4C7A-B5E2-3D9A61C07E85}";
const wchar_t kQctDriversSecondCode[] = L"{C1935E7B-2A48-4F06-8D1C-7B3E90A5D264}";
const wchar_t kQctDriverCode[] = L"{A47F1C03-6B2E-4D85-B390-5E1D7C28F94B}";
const wchar_t kEmpDriverCode[] = L"{8E2D6A14-3C90-4F7B-A1D5-92B7C0E4F613}";
const wchar_t kK21cCode[] = L"{5B0C31E2-7D4A-4E19-9C2B-1A6F83D2E7A0}";
const wchar_t kVtpKitCode[] = L"{7E4B90C2-1F5D-4A38-96CB-E2A07D5B8F19}";
const wchar_t kNorvoKitCode[] = L"{2D71E8A5-9B06-4F3C-A4E7-C85B1D0F3A62}";

ScopedFiles::~ScopedFiles()
{
    for (auto file = m_files.rbegin(); file != m_files.rend(); ++file)
        RemoveFileForced(*file);
    for (auto folder = m_folders.rbegin(); folder != m_folders.rend(); ++folder)
        RemoveTree(*folder);
}

void ScopedFiles::MakeFolder(const std::wstring& folder)
{
    std::wstring path = folder;
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    for (size_t at = path.find(L'\\', 3);; at = path.find(L'\\', at + 1)) {
        std::wstring part = path.substr(0, at);
        if (!PathExists(part) && ::CreateDirectoryW(part.c_str(), nullptr)) {
            bool inside = false;
            for (const std::wstring& made : m_folders)
                inside = inside || part.compare(0, made.size() + 1, made + L"\\") == 0;
            if (!inside)
                m_folders.push_back(part);
        }
        if (at == std::wstring::npos)
            return;
    }
}

void ScopedFiles::Claim(const std::wstring& path)
{
    if (!PathExists(path))
        m_files.push_back(path);
    std::wstring folder = path.substr(0, path.rfind(L'\\'));
    for (size_t at = folder.find(L'\\', 3);; at = folder.find(L'\\', at + 1)) {
        std::wstring part = folder.substr(0, at);
        if (!PathExists(part)) {
            bool inside = false;
            for (const std::wstring& claimed : m_folders)
                inside = inside || part == claimed || part.compare(0, claimed.size() + 1, claimed + L"\\") == 0;
            if (!inside)
                m_folders.push_back(part);
            return;
        }
        if (at == std::wstring::npos)
            return;
    }
}

void ScopedFiles::Put(const std::wstring& path, const std::wstring& copyFrom)
{
    MakeFolder(path.substr(0, path.rfind(L'\\')));
    m_files.push_back(path);
    if (copyFrom.empty())
        WriteBinaryFile(path, "driver");
    else
        ::CopyFileW(copyFrom.c_str(), path.c_str(), FALSE);
}

std::wstring SystemFolder()
{
    wchar_t folder[MAX_PATH] = {};
    ::GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\";
}

std::wstring SystemDriversFolder() { return SystemFolder() + L"drivers\\"; }

std::wstring ProgramFilesFolder()
{
    wchar_t folder[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAM_FILES, FALSE);
    return std::wstring(folder) + L"\\";
}

std::wstring ClassEntry(const wchar_t* classKey, int number)
{
    wchar_t name[8];
    swprintf(name, 8, L"%04d", number);
    return std::wstring(classKey) + L"\\" + name;
}

int FirstFreeNumber(const wchar_t* classKey)
{
    int number = 0;
    while (ScopedRegistry::KeyExists(HKEY_LOCAL_MACHINE, ClassEntry(classKey, number)))
        ++number;
    return number;
}

std::wstring UninstallKeyPath(const std::wstring& productCode, bool wow)
{
    return std::wstring(wow ? L"SOFTWARE\\Wow6432Node\\" : L"SOFTWARE\\") +
           L"Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productCode;
}

void FakeInstallation::AddEnumKey(const std::wstring& name) { registry.CreateKey(HKEY_LOCAL_MACHINE, kEnumUsb + name); }

void FakeInstallation::AddClassEntry(const std::wstring& classKey, int number, const std::wstring& driverDesc)
{
    registry.SetString(HKEY_LOCAL_MACHINE, ClassEntry(classKey.c_str(), number), L"DriverDesc", driverDesc);
}

void FakeInstallation::RegisterQctDevice()
{
    for (int key = 0; key < 3; ++key)
        AddEnumKey(kEnumKeys[key]);
    AddClassEntry(kUsbClassKey, 0, L"NorvoE Mobile Composite USB Device");
    AddClassEntry(kModemClassKey, 0, L"NorvoE Mobile USB Modem");
    AddClassEntry(kPortsClassKey, 0, L"NorvoE Mobile USB Serial Port");
}

void FakeInstallation::RegisterEmpDevice()
{
    for (int key = 3; key < 5; ++key)
        AddEnumKey(kEnumKeys[key]);
    AddClassEntry(kUsbClassKey, 0, L"Norvo Mobile");
    AddClassEntry(kModemClassKey, 0, L"Norvo Mobile USB WMC Data Modem");
}

void FakeInstallation::RegisterProduct(const std::wstring& productCode, bool wow, const wchar_t* displayVersion)
{
    std::wstring key = UninstallKeyPath(productCode, wow);
    registry.CreateKey(HKEY_LOCAL_MACHINE, key);
    if (displayVersion)
        registry.SetString(HKEY_LOCAL_MACHINE, key, L"DisplayVersion", displayVersion);
}

void FakeInstallation::PutQctSystemFiles(bool x64Names)
{
    std::wstring folder = SystemDriversFolder();
    for (const wchar_t* part : {L"bus", L"diag", L"modem"})
        files.Put(folder + (x64Names ? L"norvox64" : L"norvousb") + part + L".sys");
}

void FakeInstallation::PutEmpSystemFiles()
{
    std::wstring folder = SystemDriversFolder();
    for (const wchar_t* name : kEmpFiles)
        files.Put(folder + name);
}

void FakeInstallation::PutQctPackageFiles(const std::wstring& folderName, const std::wstring& busVersionSource)
{
    std::wstring folder = ProgramFilesFolder() + L"Norvo Electronics\\" + folderName + L"\\";
    files.Put(folder + L"norvousbbus.sys", busVersionSource);
    files.Put(folder + L"norvousbdiag.sys");
    files.Put(folder + L"norvousbmodem.sys");
}

void FakeInstallation::InstallQctDriver(const wchar_t* displayVersion)
{
    RegisterQctDevice();
    PutQctSystemFiles();
    RegisterProduct(kQctDriversCode, false, displayVersion);
    PutQctPackageFiles(L"Norvo USB Modem Drivers");
}

void FakeInstallation::InstallNorvoKit(const std::wstring& versionSource)
{
    RegisterProduct(kNorvoKitCode);
    files.Put(ProgramFilesFolder() + L"NorvoInternetKit\\NorvoInternetKit.exe", versionSource);
}

void ClaimWhatInstallersMayMake(ScopedRegistry& registry, ScopedFiles& files)
{
    const HKEY machine = HKEY_LOCAL_MACHINE;
    for (const wchar_t* name : kEnumKeys)
        registry.Claim(machine, kEnumUsb + std::wstring(name));
    for (const wchar_t* classKey : kClassKeys) {
        int number = FirstFreeNumber(classKey);
        for (int next = number; next < number + 3; ++next)
            registry.Claim(machine, ClassEntry(classKey, next));
    }
    for (const wchar_t* code : {kQctDriversCode, kQctDriversSecondCode, kQctDriverCode, kEmpDriverCode, kK21cCode,
                                kVtpKitCode, kNorvoKitCode}) {
        registry.Claim(machine, UninstallKeyPath(code, false));
        registry.Claim(machine, UninstallKeyPath(code, true));
    }
    registry.Claim(HKEY_CURRENT_USER, kPcSuiteKey);
    registry.Claim(HKEY_CURRENT_USER, kConnectionManagerKey);
    for (const wchar_t* name : kQctFiles)
        files.Claim(SystemDriversFolder() + name);
    for (const wchar_t* name : kEmpFiles)
        files.Claim(SystemDriversFolder() + name);
    for (const wchar_t* folder :
         {L"Norvo Electronics", L"NorvoInternetKit", L"Vodafone\\Via The Phone", L"K-21C Connection Manager"})
        files.Claim(ProgramFilesFolder() + folder + L"\\any");
}

} // namespace plugtest
