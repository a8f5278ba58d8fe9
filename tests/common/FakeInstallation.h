// The traces that driver and kit installers leave on a PC, made for a test in the real registry
// and folders of the prefix, and removed when the test ends.
#pragma once

#include "ScopedRegistry.h"

#include <string>
#include <vector>

namespace plugtest {

// Files put into real folders (system, Program Files); removed at the end together with every
// folder that did not exist before.
class ScopedFiles {
public:
    ScopedFiles() = default;
    ~ScopedFiles();
    ScopedFiles(const ScopedFiles&) = delete;
    ScopedFiles& operator=(const ScopedFiles&) = delete;

    // Writes path (creating its folders): a copy of copyFrom when given, else a few bytes.
    void Put(const std::wstring& path, const std::wstring& copyFrom = L"");
    // Creates a folder with its parents.
    void MakeFolder(const std::wstring& folder);
    // Takes over a file that the code under test may write: removed at the end when it is not
    // there now, together with the first folder above it that is missing now.
    void Claim(const std::wstring& path);

private:
    std::vector<std::wstring> m_files;
    std::vector<std::wstring> m_folders;
};

// The system folder, its drivers folder and the Program Files folder, each with a trailing backslash.
std::wstring SystemFolder();
std::wstring SystemDriversFolder();
std::wstring ProgramFilesFolder();

// Device-class keys under HKLM, and the three together.
extern const wchar_t kUsbClassKey[];
extern const wchar_t kModemClassKey[];
extern const wchar_t kPortsClassKey[];
extern const wchar_t* const kClassKeys[3];
// "<classKey>\NNNN", a numbered entry of a device class; the first number without an entry.
std::wstring ClassEntry(const wchar_t* classKey, int number);
int FirstFreeNumber(const wchar_t* classKey);

// The HKLM key of the USB enumeration (with a trailing backslash) and the keys of the devices
// under it: the QCT device's three, then the EMP device's two.
extern const wchar_t kEnumUsb[];
extern const wchar_t* const kEnumKeys[5];
// The driver files in the system drivers folder: the QCT set (its 32-bit names) and the EMP set.
extern const wchar_t* const kQctFiles[3];
extern const wchar_t* const kEmpFiles[8];

// The HKCU keys of the PC suite and of the connection manager.
extern const wchar_t kPcSuiteKey[];
extern const wchar_t kConnectionManagerKey[];

// Product codes of the uninstall keys.
extern const wchar_t kQctDriversCode[];
extern const wchar_t kQctDriversSecondCode[];
extern const wchar_t kQctDriverCode[];
extern const wchar_t kEmpDriverCode[];
extern const wchar_t kK21cCode[];
extern const wchar_t kVtpKitCode[];
extern const wchar_t kNorvoKitCode[];

// The HKLM key "SOFTWARE\[Wow6432Node\]Microsoft\Windows\CurrentVersion\Uninstall\<code>".
std::wstring UninstallKeyPath(const std::wstring& productCode, bool wow);

// Claims every key, value and file that a driver or kit installer (or a stand-in for one) may
// make, so that all of it is gone again at the end.
void ClaimWhatInstallersMayMake(ScopedRegistry& registry, ScopedFiles& files);

class FakeInstallation {
public:
    ScopedRegistry registry;
    ScopedFiles files;

    // The USB enumeration keys and the numbered class entries of a device family.
    void RegisterQctDevice();
    void RegisterEmpDevice();
    void AddEnumKey(const std::wstring& name);
    void AddClassEntry(const std::wstring& classKey, int number, const std::wstring& driverDesc);

    // An uninstall key, with a "DisplayVersion" when displayVersion is given.
    void RegisterProduct(const std::wstring& productCode, bool wow = false, const wchar_t* displayVersion = nullptr);

    // Driver files in the system drivers folder: the QCT set (its 32-bit or its x64 names) and the
    // eight EMP files.
    void PutQctSystemFiles(bool x64Names = false);
    void PutEmpSystemFiles();
    // The QCT package files in "Program Files\Norvo Electronics\<folderName>"; the bus driver is a
    // copy of busVersionSource when given.
    void PutQctPackageFiles(const std::wstring& folderName, const std::wstring& busVersionSource = L"");

    // Everything of an installed, registered QCT driver ("Drivers" edition, version displayVersion).
    void InstallQctDriver(const wchar_t* displayVersion);
    // The Internet Kit: its uninstall key and "Program Files\NorvoInternetKit\NorvoInternetKit.exe"
    // (a copy of versionSource when given).
    void InstallNorvoKit(const std::wstring& versionSource = L"");
};

} // namespace plugtest
