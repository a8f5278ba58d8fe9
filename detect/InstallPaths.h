// Names and folders that the installation-state checks share: the product codes of the
// uninstall keys, the folder queries, and the test for one of two driver file names.
#pragma once

#include "ProductCodes.h"
#include "config/SystemFolders.h"

#include <windows.h>

#include <initializer_list>
#include <string>

namespace plug {
namespace detect {

// The user keys (under "SOFTWARE\") of the PC suite and of the DCM connection manager, which name
// where they are installed.
extern const wchar_t kPcSuiteKey[];           // "Norvo Electronics Inc\Norvo PC Suite III"
extern const wchar_t kConnectionManagerKey[]; // "K-21C-ConnectionManager"

// The "InstallPath" that a suite keeps in its user key (under "SOFTWARE\"): the PC suite's
// program, or an earlier suite's folder. Empty when it is missing or empty.
std::wstring ReadInstallPath(const wchar_t* userKey);

// What the connection manager's user key says of its program: where it is, its folder
// ("CM_Install_path") with one backslash and then programName (the configured itk_run_file), or
// why that cannot be said, in the order it is checked.
enum class ManagerProgramRead { Found, Unreadable, EmptyFolder, NameLeavesFolder };
ManagerProgramRead ReadConnectionManagerProgram(const std::wstring& programName, std::wstring& program);

// The QCT driver files: each entry is satisfied by either name (32-bit name first).
struct DriverFilePair {
    const wchar_t* first;
    const wchar_t* second;
};
extern const DriverFilePair kQctDriverFiles[3];
// The folders of the QCT driver package's two editions under "Program Files\Norvo Electronics".
extern const wchar_t kQctDriversEditionFolder[]; // "Norvo USB Modem Drivers"
extern const wchar_t kQctDriverEditionFolder[];  // "Norvo USB Modem Driver"

// TRUE when the "Drivers" edition of the QCT driver package is registered: its code in either
// view, or its second code in the native view.
bool IsQctDriversEditionRegistered();
// TRUE when prefix + one name of every QCT pair is an existing file.
bool QctDriverFilesPresent(const std::wstring& prefix);

// Which of the two places an uninstall key is looked for.
enum class UninstallView { Native, Wow };

// The full HKLM path of the uninstall key of productCode,
// "SOFTWARE\[Wow6432Node\]Microsoft\Windows\CurrentVersion\Uninstall\<code>".
std::wstring UninstallKey(const wchar_t* productCode, UninstallView view);
// The same path relative to "SOFTWARE\", for the machine reads.
std::wstring UninstallSubKey(const wchar_t* productCode, UninstallView view);

// TRUE when the HKLM uninstall key of productCode exists in that view.
bool UninstallKeyExists(const wchar_t* productCode, UninstallView view);
// TRUE when the uninstall key of productCode exists in either view.
bool IsProductRegistered(const wchar_t* productCode);

// The "InstallLocation" of the K21C connection manager's native uninstall key, the folder of its
// driver files; false when the package is registered in neither place or the value cannot be read.
bool ReadK21cInstallLocation(std::wstring& location);

// Any nonzero IsWow64() answer, its failure value -1 included, counts as 64-bit Windows.
inline bool Is64BitWindows(int nWow64) { return nWow64 != 0; }

// The folders the two kits of the maker install their programs into, under Program Files, with
// a trailing backslash (the Internet Kit's own program there: kNorvoKitProgram).
std::wstring VtpKitFolder(const std::wstring& programFiles);
std::wstring NorvoKitFolder(const std::wstring& programFiles);

// The EMP (R880) driver package folder of the Windows width, under Program Files, without a
// trailing backslash; false when the Program Files folder cannot be had.
bool GetEmpPackageFolder(bool is64BitWindows, std::wstring& folder);

// TRUE when prefix + one of the names is an existing file (tried in order).
bool AnyFileExists(const std::wstring& prefix, std::initializer_list<const wchar_t*> names);

// path with a backslash appended when it does not end in one.
std::wstring WithTrailingBackslash(const std::wstring& path);

} // namespace detect
} // namespace plug
