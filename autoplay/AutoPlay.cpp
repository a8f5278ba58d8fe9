#include "AutoPlay.h"

#include "AutoplaySettings.h"
#include "AutosetArgument.h"
#include "config/Language.h"
#include "config/ModulePath.h"
#include "framework/MessageBoxSeam.h"
#include "framework/ProcessStart.h"
#include "framework/StringFormat.h"
#include "framework/Trace.h"

namespace plug {

namespace {

// OK and Cancel with the warning icon.
constexpr UINT kQuestionStyle = MB_OKCANCEL | MB_ICONEXCLAMATION;

bool UserAgrees(AutoplayQuestion question)
{
    std::wstring text = ComposeAutoplayQuestion(question, GetLanguageString(L"STR_STRING_CDROM_AUTO_OPTION_1"),
                                                GetLanguageString(L"STR_STRING_CDROM_AUTO_OPTION_4"));
    return ShowMessageBox(nullptr, text, GetLanguageString(L"STR_STRING_TITLE"), kQuestionStyle) == IDOK;
}

// The trace of a failed write on Vista and later; the writes before Vista are not traced.
const wchar_t* VistaWriteFailure(AutoplayRepair repair)
{
    switch (repair) {
    case AutoplayRepair::UserNoDriveType:
        return L"[bRegVerify3 : NoDriveTypeAutoRun] set failed !!.....\n";
    case AutoplayRepair::DisableAutoplay:
        return L"[bRegVerify5 : DisableAutoplay] set failed !!.....\n";
    case AutoplayRepair::DefaultSelection:
        return L"[bRegVerify6 : EventHandlersDefaultSelection\\AutorunINFLegacyArrival] set failed !!.....\n";
    case AutoplayRepair::UserChosenHandler:
        return L"[bRegVerify7 : UserChosenExecuteHandlers\\AutorunINFLegacyArrival] set failed !!.....\n";
    default:
        return nullptr;
    }
}

BOOL WriteDirectRepairs(CRegAccess& registry, const AutoplayPlan& plan, bool vista)
{
    for (AutoplayRepair repair : plan.directRepairs) {
        if (ApplyAutoplayRepair(registry, repair))
            continue;
        const wchar_t* failure = VistaWriteFailure(repair);
        if (vista && failure)
            Trace(failure);
        return FALSE;
    }
    return TRUE;
}

// Starts the tool for the machine-wide repairs and waits until it has ended (messages are
// dispatched meanwhile), at most tool.waitMs. What the tool achieved is not checked here: the
// next start asks again if a setting is still in the way.
void RunRepairTool(const AutoplayRepairTool& tool, unsigned toolBits)
{
    Trace(FormatString(L"[SetCDROMAutoRun.exe Call File Name] %ls", tool.path.c_str()));
    if (!IsExistFile(tool.path)) {
        Trace(L"[IsExistFile(strVistaCDAutoRun)] Not found file !!.....\n");
        return;
    }
    UniqueHandle process = StartProgram(tool.path, FormatAutosetArgument(toolBits), SW_SHOWNORMAL);
    if (!process) {
        Trace(L"[ShellExecuteEx(strVistaCDAutoRun)] Not started !!.....\n");
        return;
    }
    if (!WaitForProcessEnd(process.Get(), tool.waitMs))
        Trace(FormatString(L"[SetCDROMAutoRun.exe] Still running after %lu ms, not waited for any longer !!.....\n",
                           static_cast<unsigned long>(tool.waitMs)));
}

} // namespace

BOOL CheckAndRepairAutoplay(const AutoplaySystem& system, const AutoplayRepairTool& tool)
{
    CRegAccess registry;
    AutoplayVerdicts verdicts = JudgeAutoplaySettings(ReadAutoplaySettings(registry, system.vista), system);
    AutoplayPlan plan = PlanAutoplayRepair(verdicts, system.vista);
    if (plan.question == AutoplayQuestion::None) {
        Trace(L"************* [No need set CDROM autorun] **************\n");
        return TRUE;
    }
    if (!UserAgrees(plan.question)) {
        Trace(L"************* [User cancel the CDROM autorun] **************\n");
        return TRUE;
    }
    if (!WriteDirectRepairs(registry, plan, system.vista))
        return FALSE;
    if (plan.toolBits != 0)
        RunRepairTool(tool, plan.toolBits);
    return TRUE;
}

} // namespace plug
