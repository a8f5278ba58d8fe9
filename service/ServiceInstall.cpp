#include "ServiceInstall.h"

#include "ServiceStartWait.h"
#include "config/ConfigFile.h"
#include "config/Messages.h"
#include "config/ModulePath.h"
#include "config/RelativeName.h"
#include "framework/ProcessStart.h"
#include "framework/SleepSeam.h"
#include "framework/StringFormat.h"
#include "framework/Trace.h"

using plug::kCommandServiceDescription;
using plug::kCommandServiceName;
using plug::Trace;

namespace {

void ShowServiceMessage(const wchar_t* key) { plug::ShowLanguageMessage(nullptr, key, MB_ICONEXCLAMATION | MB_OK); }

bool IsServiceRunning(SC_HANDLE service)
{
    SERVICE_STATUS status = {};
    return ::QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING;
}

} // namespace

CServiceInstall::~CServiceInstall()
{
    m_hSrv.Reset();
    m_hScm.Reset();
}

BOOL CServiceInstall::InstallService(LPCTSTR lpszSvcFile)
{
    const std::wstring serviceFile = lpszSvcFile ? lpszSvcFile : L"";
    Trace(L"Start : [CServiceInstall::InstallService()]");

    Trace(L"Start : [CServiceInstall::InstallService() : OpenSCManager]");
    plug::UniqueSCHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    if (!manager) {
        DWORD error = ::GetLastError();
        Trace(L"[CServiceInstall::InstallService() : OpenSCManager] return code : NULL");
        if (error != ERROR_ACCESS_DENIED) // a user without administrator rights is not told
            ShowServiceMessage(L"STR_STRING_ERROR_CANNOT_OPEN_SCM_0");
        return FALSE;
    }
    Trace(L"End : [CServiceInstall::InstallService() : OpenSCManager]");

    Trace(L"Start : [CServiceInstall::InstallService() : OpenService(hScm, strSvcName, SERVICE_ALL_ACCESS)]");
    {
        plug::UniqueSCHandle existing(::OpenServiceW(manager.Get(), kCommandServiceName, SERVICE_ALL_ACCESS));
        if (existing && IsServiceRunning(existing.Get()))
            return FALSE; // a running service is left as it is
    }
    Trace(L"End : [CServiceInstall::InstallService() : OpenService(hScm, strSvcName, SERVICE_ALL_ACCESS)]");

    Trace(L"Start : [CServiceInstall::InstallService() : file.Open]");
    if (!plug::IsExistFile(serviceFile)) {
        Trace(L"[CServiceInstall::InstallService() : file.Open] return code : FALSE");
        Trace(plug::FormatString(L"Service register File Path : %ls", serviceFile.c_str()));
        ShowServiceMessage(L"STR_STRING_ERROR_SVC_FILE_NOT_FOUND");
        return FALSE;
    }
    Trace(L"End : [CServiceInstall::InstallService() : file.Open]");

    Trace(L"Start : [CServiceInstall::InstallService() : CreateService]");
    plug::UniqueSCHandle created(::CreateServiceW(
        manager.Get(), kCommandServiceName, kCommandServiceName, SERVICE_CHANGE_CONFIG | SERVICE_PAUSE_CONTINUE,
        SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_IGNORE,
        serviceFile.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!created) {
        DWORD error = ::GetLastError();
        Trace(L"[CServiceInstall::InstallService() : CreateService] return code : NULL");
        // A stopped service that is still registered, or a user without rights: no message.
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SERVICE_EXISTS)
            ShowServiceMessage(L"STR_STRING_ERROR_CANNOT_INSTALL_SERVICE");
        return FALSE;
    }
    Trace(L"End : [CServiceInstall::InstallService() : CreateService]");

    Trace(L"Start : [CServiceInstall::InstallService() : ChangeServiceConfig2]");
    SERVICE_DESCRIPTIONW description = {const_cast<LPWSTR>(kCommandServiceDescription)};
    ::ChangeServiceConfig2W(created.Get(), SERVICE_CONFIG_DESCRIPTION, &description);
    created.Reset();
    Trace(L"End : [CServiceInstall::InstallService() : ChangeServiceConfig2]");

    if (!StartAndWait(manager.Get()))
        return FALSE;
    Trace(L"End : [CServiceInstall::InstallService(LPCTSTR lpszSvcFile)]");
    return TRUE;
}

BOOL CServiceInstall::StartAndWait(SC_HANDLE manager)
{
    Trace(L"Start : [CServiceInstall::InstallService() : OpenService(hScm, strSvcName, "
          L"SERVICE_START|SERVICE_QUERY_STATUS)]");
    plug::UniqueSCHandle service(::OpenServiceW(manager, kCommandServiceName, SERVICE_START | SERVICE_QUERY_STATUS));
    if (!service) {
        Trace(L"[CServiceInstall::InstallService() : OpenService] return code : NULL");
        ShowServiceMessage(L"STR_STRING_ERROR_CANNOT_START_SERVICE");
        return FALSE;
    }
    Trace(L"End : [CServiceInstall::InstallService() : OpenService(hScm, strSvcName, "
          L"SERVICE_START|SERVICE_QUERY_STATUS)]");

    Trace(L"Start : [CServiceInstall::InstallService() : StartService]");
    if (::StartServiceW(service.Get(), 0, nullptr)) // a failed start (already running...) is not waited for
        plug::WaitForServiceStart(service.Get());
    Trace(L"End : [CServiceInstall::InstallService() : StartService]");
    return TRUE;
}

BOOL CServiceInstall::UnInstallService()
{
    Trace(L"Start : [CServiceInstall::UnInstallService()]");
    // The tool is named by the configuration and may not be ours: it must lie in the program's
    // folder, and it gets a bounded time.
    std::wstring name = plug::GetConfigValue(nullptr, L"SERVICE", L"svcdel_fname");
    if (plug::IsContainedRelativeName(name)) {
        plug::UniqueHandle process = plug::StartProgram(plug::GetModuleDirectory() + name, L"auto_run", SW_HIDE);
        if (process && !plug::WaitForProcessEnd(process.Get(), m_dwRemovalToolWaitMs))
            Trace(L"[CServiceInstall::UnInstallService()] the removal tool did not end in time");
    } else {
        Trace(plug::FormatString(L"[CServiceInstall::UnInstallService()] no usable removal tool : %ls", name.c_str()));
    }
    plug::PlugSleep(3000); // lets the service control manager finish the removal
    Trace(L"End : [CServiceInstall::UnInstallService()]");
    return TRUE;
}

BOOL CServiceInstall::Open_Service_Manager()
{
    m_hScm.Attach(::OpenSCManagerW(nullptr, nullptr, GENERIC_READ));
    if (m_hScm)
        return TRUE;
    Trace(L"[CServiceInstall::Open_Service_Manager()] : m_hScm == NULL");
    return FALSE;
}

BOOL CServiceInstall::Open_Service(DWORD dwDesiredAccess)
{
    if (!Open_Service_Manager()) {
        Trace(L"[CServiceInstall::Open_Service()] : Open_Service_Manager() == FALSE");
        return FALSE;
    }
    m_hSrv.Attach(::OpenServiceW(m_hScm.Get(), kCommandServiceName, dwDesiredAccess));
    BOOL exists = m_hSrv.IsValid();
    m_hSrv.Reset();
    m_hScm.Reset();
    if (!exists)
        Trace(L"[CServiceInstall::Open_Service()] : m_hSrv == NULL");
    return exists;
}

BOOL CServiceInstall::IsRunService()
{
    Trace(L"Start : [CServiceInstall::IsRunService()]");
    if (!Open_Service(GENERIC_READ))
        return FALSE;
    plug::UniqueSCHandle manager(::OpenSCManagerW(nullptr, nullptr, GENERIC_READ));
    if (!manager) {
        Trace(L"[CServiceInstall::IsRunService() : OpenSCManager] return code : NULL");
        return FALSE;
    }
    plug::UniqueSCHandle service(::OpenServiceW(manager.Get(), kCommandServiceName, GENERIC_READ));
    if (!service) {
        Trace(L"[CServiceInstall::IsRunService() : OpenService] return code : NULL");
        return FALSE;
    }
    if (IsServiceRunning(service.Get())) {
        Trace(L"End : [CServiceInstall::IsRunService()]");
        return TRUE;
    }
    Trace(L"[CServiceInstall::IsRunService() : ss.dwCurrentState != SERVICE_RUNNING]");
    return FALSE;
}
