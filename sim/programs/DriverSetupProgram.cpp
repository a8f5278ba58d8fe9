#include "StandInPrograms.h"

#include "DriverInstall.h"
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
    if (!ReadVersionScript(script, L"DRIVER", L"driver_version", &install->version, problem))
        return false;
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
    return run.Setup(
        kEmbeddedDriverFile, L"the setup carries no driver file",
        [&install](const std::string& model, ChangeSet* changes, std::wstring* failure) {
            return InstallDriverPackage(install, model, changes, failure);
        },
        std::wstring(DriverFamilyName(install.family)) + L" " + FileVersionText(install.version.fileVersion));
}

} // namespace sim
