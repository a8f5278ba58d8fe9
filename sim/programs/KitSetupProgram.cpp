#include "StandInPrograms.h"

#include "KitInstall.h"
#include "StandInFiles.h"
#include "StandInRun.h"
#include "config/RelativeName.h"

namespace sim {

namespace {

bool ReadKitScript(const StandInScript& script, KitInstallScript* install, std::wstring* problem)
{
    std::wstring type = script.TextOrProfile(L"kit_type", L"ITK", L"itk_type", L"1");
    if (!ParseKitType(type, &install->type)) {
        *problem = L"kit_type \"" + type + L"\" is none of 0, 1, 2, 3";
        return false;
    }
    if (!ReadVersionScript(script, L"ITK", L"itk_version", &install->version, problem))
        return false;
    install->wow6432Node = script.Text(L"wow6432node") == L"1";
    install->programName = script.TextOrProfile(L"run_file", L"ITK", L"itk_run_file", DefaultKitProgram(install->type));
    if (!plug::IsContainedRelativeName(install->programName)) {
        *problem = L"run_file \"" + install->programName + L"\" is not a name inside the kit's folder";
        return false;
    }
    return true;
}

} // namespace

int RunKitSetup()
{
    StandInScript script(kRoleKitSetup);
    StandInRun run(script);
    KitInstallScript install;
    std::wstring problem;
    if (!ReadKitScript(script, &install, &problem))
        return run.BadScript(problem);
    return run.Setup(
        kEmbeddedKitProgram, L"the setup carries no kit program",
        [&install](const std::string& model, ChangeSet* changes, std::wstring* failure) {
            return InstallKit(install, model, changes, failure);
        },
        L"kit " + std::to_wstring(static_cast<int>(install.type)) + L" " +
            FileVersionText(install.version.fileVersion));
}

} // namespace sim
