// Where the stand-ins for the maker's installers and programs keep their script, their log and
// the record of what they made (see sim/README.md).
#pragma once

namespace sim {

// The script the tests write: one section per role, or per program file name.
constexpr wchar_t kProgramsScript[] = L"C:\\plugstart_sim\\programs.ini";
// One line per action of every stand-in.
constexpr wchar_t kProgramsLog[] = L"C:\\plugstart_sim\\programs.log";
// Every key and folder a setup created, so that a remover can take away what it left empty.
constexpr wchar_t kInstalledRecord[] = L"C:\\plugstart_sim\\installed.txt";

// Roles: the section of the script that a stand-in reads when no section carries its file name.
constexpr wchar_t kRoleDriverSetup[] = L"driver_setup";
constexpr wchar_t kRoleQctRemover[] = L"qct_remover";
constexpr wchar_t kRoleEmpRemover[] = L"emp_remover";
constexpr wchar_t kRoleK21cRemover[] = L"k21c_remover";
constexpr wchar_t kRoleKitSetup[] = L"kit_setup";
constexpr wchar_t kRoleKitProgram[] = L"kit_program";

// Exit codes, those of a Windows Installer setup where one fits.
constexpr int kExitDone = 0;
constexpr int kExitBadScript = 87;   // ERROR_INVALID_PARAMETER: the script cannot be carried out
constexpr int kExitTimedOut = 1460;  // ERROR_TIMEOUT: the awaited file never appeared
constexpr int kExitCancelled = 1602; // ERROR_INSTALL_USEREXIT: the user cancelled
constexpr int kExitFailed = 1603;    // ERROR_INSTALL_FAILURE

// Resource ids of the files a setup carries inside itself (RCDATA).
constexpr int kEmbeddedDriverFile = 201; // a tiny versioned library, the model of every driver file
constexpr int kEmbeddedKitProgram = 202; // the kit-program stand-in

} // namespace sim
