#include "StandInPrograms.h"

#include "DriverInstall.h"
#include "EmbeddedFile.h"
#include "ProgramsLog.h"
#include "StandInFiles.h"
#include "StandInRun.h"

namespace sim {

namespace {

bool ReadDriverScript(const StandInScript& script, DriverInstallScript* install, std::wstring* problem)
{
    std::wstring family = script.TextOrProfile(L"family", L"DRIVER", L"driver_type", L"QCT");
    if (!ParseDriverFamily(family, &install->family)) {
        *problem = L"family \"" + family + L"\" is none of QCT, EMP, FOMA_K21C";
        return false;
    }
    std::wstring edition = script.Text(L"edition", L"drivers");
    if (!ParseQctEdition(edition, &install->edition)) {
        *problem = L"edition \"" + edition + L"\" is none of drivers, drivers2, driver";
        return false;
    }
    VersionScript version;
    if (!ReadVersionScript(script, L"DRIVER", L"driver_version", &version, problem))
        return false;
    install->version = version.fileVersion;
    install->writeDisplayVersion = version.writeDisplayVersion;
    install->displayVersion = version.displayVersion;
    install->wow6432Node = script.Text(L"wow6432node") == L"1";
    return true;
}

} // namespace

int RunDriverSetup()
{
    StandInScript script(kRoleDriverSetup);
    StandInRun run(script);
    DriverInstallScript install;
    std::wstring problem;
    if (!ReadDriverScript(script, &install, &problem))
        return run.BadScript(problem);
    std::string model = LoadEmbeddedFile(kEmbeddedDriverFile);
    if (model.empty())
        return run.BadScript(L"the setup carries no driver file");
    int exitCode = 0;
    if (!run.HoldForOutcome(L"install", &exitCode))
        return exitCode;

    ChangeSet changes;
    if (!InstallDriverPackage(install, model, &changes, &problem)) {
        changes.Undo();
        run.Log(kActionFailed, problem);
        return run.Finish(kExitFailed);
    }
    changes.Record();
    run.Log(kActionInstalled, std::wstring(DriverFamilyName(install.family)) + L" " + FileVersionText(install.version));
    return run.Finish(kExitDone);
}

} // namespace sim
