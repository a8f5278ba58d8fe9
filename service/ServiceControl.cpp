// CPlugstartDlg::ServiceControl: asks the command service, over its pipe, for the phone settings
// or for the switch to modem mode, and keeps the answer in the dialog's members.
#include "workflow/PlugstartDlg.h"

#include "ServicePipeClient.h"
#include "app/PlugstartApp.h"
#include "config/ModulePath.h"

namespace {

// The device's drive letter: from "-l" at a PC start, else the program's own drive.
wchar_t ServiceDriveLetter(const CPlugstartApp& app)
{
    std::wstring drive = app.m_strDriveLetter.empty() ? plug::GetModuleDirectory() : app.m_strDriveLetter;
    return drive.empty() ? L'\0' : drive[0];
}

} // namespace

BOOL CPlugstartDlg::ServiceControl(DWORD dwControl)
{
    Trace(L"Start : [CPlugstartDlg::ServiceControl(DWORD dwControl)]");
    CPlugstartApp* app = PlugstartApp();
    if (!app || app->m_bVistaOS)
        return FALSE; // the service is not used on Vista and later

    const bool phoneSetting = (dwControl == USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO);
    uint8_t request[plug::kServiceMessageBytes];
    if (!plug::BuildServiceRequest(dwControl, static_cast<uint16_t>(ServiceDriveLetter(*app)), request))
        return FALSE; // not a request the service knows

    plug::ServiceReply reply;
    size_t capacity = phoneSetting ? plug::kPhoneSetReplyBytes : plug::kServiceMessageBytes;
    switch (plug::ExchangeWithService(request, capacity, &reply)) {
    case plug::ServiceExchange::NotConnected:
        Trace(L"[CPlugstartDlg::ServiceControl(DWORD dwControl) : CreateFile] return code : NULL");
        return FALSE;
    case plug::ServiceExchange::WriteFailed:
        Trace(phoneSetting ? L"[CPlugstartDlg::ServiceControl(DWORD dwControl) : WriteFile : "
                             L"USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO] return code : FALSE\r\n"
                           : L"[CPlugstartDlg::ServiceControl(DWORD dwControl) : WriteFile : "
                             L"USER_SERVICE_CONTROL_SEND_PHONE_MODE] return code : FALSE\r\n");
        return FALSE;
    case plug::ServiceExchange::Completed:
        break;
    }

    if (phoneSetting) {
        if (plug::ApplyPhoneSetReply(reply.bytes, reply.count, &m_PhoneSetReply))
            m_nResultGetPhoneSet = m_PhoneSetReply.nResult;
    } else if (reply.count > 0) {
        m_nResultModeChange = plug::ParseModeChangeReply(reply.bytes, reply.count);
    }
    Trace(L"End : [CPlugstartDlg::ServiceControl(DWORD dwControl)]");
    return TRUE;
}
