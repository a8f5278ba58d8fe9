// The product codes of the uninstall keys by which the checks know the drivers and kits, and the
// Internet Kit's folder and program. Plain data without a runtime, so that the benchmark's floor
// program reads the same keys and files.
#pragma once

namespace plug {
namespace detect {

extern const wchar_t kQctDriversCode[];       // QCT driver package, "Drivers" folder edition
extern const wchar_t kQctDriversSecondCode[]; // the same edition's second code (native key only)
extern const wchar_t kQctDriverCode[];        // QCT driver package, "Driver" folder edition
extern const wchar_t kEmpDriverCode[];        // EMP (R880) driver package
extern const wchar_t kK21cManagerCode[];      // K21C connection manager (carries the FOMA_K21C driver)
extern const wchar_t kVtpKitCode[];           // ITKTYPE_VTP kit
extern const wchar_t kNorvoKitCode[];         // ITKTYPE_NorvoITK kit

extern const wchar_t kNorvoKitFolderName[]; // "NorvoInternetKit", under Program Files
extern const wchar_t kNorvoKitProgram[];    // "NorvoInternetKit.exe" in that folder, whose version counts

} // namespace detect
} // namespace plug
