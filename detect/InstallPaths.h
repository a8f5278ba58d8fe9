// Names and folders that the installation-state checks share: the product codes of the
// uninstall keys, the folder queries, and the test for one of two driver file names.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

namespace plug {
namespace detect {

// Product codes of the uninstall keys.
extern const wchar_t kQctDriversCode[];       // QCT driver package, "Drivers" folder edition
extern const wchar_t kQctDriversSecondCode[]; // the same edition's second code (native key only)
extern const wchar_t kQctDriverCode[];        // QCT driver package, "Driver" folder edition
extern const wchar_t kEmpDriverCode[];        // EMP (R880) driver package
extern const wchar_t kK21cManagerCode[];      // K21C connection manager (carries the FOMA_K21C driver)
extern const wchar_t kVtpKitCode[];           // ITKTYPE_VTP kit
extern const wchar_t kNorvoKitCode[];         // ITKTYPE_NorvoITK kit

// Which of the two places an uninstall key is looked for.
enum class UninstallView { Native, Wow };

// The full HKLM path of the uninstall key of productCode,
// "SOFTWARE\[Wow6432Node\]Microsoft\Windows\CurrentVersion\Uninstall\<code>".
std::wstring UninstallKey(const wchar_t* productCode, UninstallView view);
// The same path relative to "SOFTWARE\", for the machine reads.
std::wstring UninstallSubKey(const wchar_t* productCode, UninstallView view);

// TRUE when the HKLM uninstall key of productCode exists in that view.
bool UninstallKeyExists(const wchar_t* productCode, UninstallView view);

// The "InstallLocation" of the K21C connection manager's native uninstall key; false when the
// package is registered in neither place or the value cannot be read.
bool ReadK21cInstallLocation(std::wstring& location);

// Any nonzero IsWow64() answer, its failure value -1 included, counts as 64-bit Windows.
inline bool Is64BitWindows(int nWow64) { return nWow64 != 0; }

// The Program Files folder from the shell; false when the shell cannot tell.
bool GetProgramFilesFolder(std::wstring& folder);
// The system folder; false when it cannot be had.
bool GetSystemFolder(std::wstring& folder);

// The EMP (R880) driver package folder of the Windows width, under Program Files, without a
// trailing backslash; false when the Program Files folder cannot be had.
bool GetEmpPackageFolder(bool is64BitWindows, std::wstring& folder);

// TRUE when prefix + one of the names is an existing file (tried in order).
bool AnyFileExists(const std::wstring& prefix, std::initializer_list<const wchar_t*> names);

// path with a backslash appended when it does not end in one.
std::wstring WithTrailingBackslash(const std::wstring& path);

} // namespace detect
} // namespace plug
