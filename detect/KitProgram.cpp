// Where the installed connection software ("kit") keeps the program that the launch starts.
#include "detect/Detector.h"

#include "config/ModulePath.h"
#include "config/RelativeName.h"
#include "detect/InstallPaths.h"
#include "framework/StringFormat.h"

using namespace plug::detect;

namespace {

// The two kits registered under a product code whose program lies in a folder of their own
// under Program Files, named by the configuration (itk_run_file).
struct RegisteredKit {
    int type;
    const wchar_t* productCode;
    std::wstring (*folder)(const std::wstring& programFiles);
    const wchar_t* notRegisteredTrace;
    const wchar_t* unusableNameTrace;
};

const RegisteredKit kRegisteredKits[] = {
    {ITKTYPE_VTP, kVtpKitCode, &VtpKitFolder, L"[CheckITKProgram()] ITKTYPE_VTP : ITK Reg not registered.\r\n",
     L"[CheckITKProgram()] ITKTYPE_VTP : Registry value is empty.\r\n"},
    {ITKTYPE_NorvoITK, kNorvoKitCode, &NorvoKitFolder,
     L"[CheckITKProgram()] ITKTYPE_NorvoITK : ITK Reg not registered.\r\n",
     L"[CheckITKProgram()] ITKTYPE_NorvoITK : config.ini itk_run_file value is empty.\r\n"},
};

// A program name from the configuration that may be started: it names an executable and stays
// inside the folder it is joined to.
bool IsUsableProgramName(const std::wstring& name)
{
    return !name.empty() && name.find(L".exe") != std::wstring::npos && plug::IsContainedRelativeName(name);
}

} // namespace

std::optional<std::wstring> CDetector::CheckITKProgram(int nITKType)
{
    std::wstring programFiles;
    std::wstring program;
    if (!plug::GetProgramFilesFolder(programFiles) || !KitProgramPath(nITKType, programFiles, program))
        return std::nullopt;
    if (plug::IsExistFile(program) != TRUE) {
        Trace(plug::FormatString(L"[CheckITKProgram()] File not found : %ls\r\n", program.c_str()));
        return std::nullopt;
    }
    return program;
}

bool CDetector::KitProgramPath(int nITKType, const std::wstring& programFiles, std::wstring& program)
{
    const std::wstring& name = m_run.m_ResDefineCommand.strITKFilename;
    for (const RegisteredKit& kit : kRegisteredKits) {
        if (kit.type != nITKType)
            continue;
        if (!IsProductRegistered(kit.productCode)) {
            Trace(kit.notRegisteredTrace);
            return false;
        }
        if (!IsUsableProgramName(name)) {
            Trace(kit.unusableNameTrace);
            return false;
        }
        program = kit.folder(programFiles) + name;
        return true;
    }
    switch (nITKType) {
    case TYPE_PCSYNC:
        program = ReadInstallPath(kPcSuiteKey);
        if (!program.empty())
            return true;
        Trace(L"[CheckITKProgram()] TYPE_PCSYNC : Registry value is empty.\r\n");
        return false;
    case TYPE_CM_DCM:
        if (ReadConnectionManagerProgram(name, program) == ManagerProgramRead::Found)
            return true;
        Trace(L"[CheckITKProgram()] TYPE_CM_DCM : Registry value is empty.\r\n");
        return false;
    default:
        return true; // an unknown kit type has no program: the empty path is never found
    }
}
