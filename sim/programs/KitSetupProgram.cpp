#include "StandInPrograms.h"

#include "EmbeddedFile.h"
#include "KitInstall.h"
#include "ProgramsLog.h"
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
    VersionScript version;
    if (!ReadVersionScript(script, L"ITK", L"itk_version", &version, problem))
        return false;
    install->version = version.fileVersion;
    install->writeDisplayVersion = version.writeDisplayVersion;
    install->displayVersion = version.displayVersion;
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
    std::string model = LoadEmbeddedFile(kEmbeddedKitProgram);
    if (model.empty())
        return run.BadScript(L"the setup carries no kit program");
    int exitCode = 0;
    if (!run.HoldForOutcome(L"install", &exitCode))
        return exitCode;

    ChangeSet changes;
    if (!InstallKit(install, model, &changes, &problem)) {
        changes.Undo();
        run.Log(kActionFailed, problem);
        return run.Finish(kExitFailed);
    }
    changes.Record();
    run.Log(kActionInstalled, L"kit " + std::to_wstring(static_cast<int>(install.type)) + L" " +
                                  FileVersionText(install.version));
    return run.Finish(kExitDone);
}

} // namespace sim
