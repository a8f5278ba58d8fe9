// ServiceControl: asks the command service, over its pipe, for the phone settings or for the
// switch to modem mode, and answers what the service said.
#include "ServiceBridge.h"

#include "ServicePipeClient.h"

#include <cstring>

std::optional<ServiceAnswer> CServiceBridge::ServiceControl(DWORD dwControl)
{
    return ServiceControl(dwControl, DeviceDriveLetter(m_run));
}

std::optional<ServiceAnswer> CServiceBridge::ServiceControl(DWORD dwControl, wchar_t driveLetter)
{
    Trace(L"Start : [CPlugstartDlg::ServiceControl(DWORD dwControl)]");
    if (m_run.m_bVistaOS)
        return std::nullopt; // the service is not used on Vista and later

    const bool phoneSetting = (dwControl == USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO);
    uint8_t request[plug::kServiceMessageBytes];
    if (!plug::BuildServiceRequest(dwControl, static_cast<uint16_t>(driveLetter), request))
        return std::nullopt; // not a request the service knows

    plug::ServiceReply reply;
    size_t capacity = phoneSetting ? plug::kPhoneSetReplyBytes : plug::kServiceMessageBytes;
    // The query is one vendor command; the switch may need its second form as well.
    DWORD replyWaitMs = plug::ServiceReplyWaitMs(phoneSetting ? 1 : 2);
    switch (plug::ExchangeWithService(request, capacity, replyWaitMs, &reply)) {
    case plug::ServiceExchange::NotConnected:
        Trace(L"[CPlugstartDlg::ServiceControl(DWORD dwControl) : CreateFile] return code : NULL");
        return std::nullopt;
    case plug::ServiceExchange::WriteFailed:
        Trace(phoneSetting ? L"[CPlugstartDlg::ServiceControl(DWORD dwControl) : WriteFile : "
                             L"USER_SERVICE_CONTROL_GET_PHONE_SETTING_INFO] return code : FALSE\r\n"
                           : L"[CPlugstartDlg::ServiceControl(DWORD dwControl) : WriteFile : "
                             L"USER_SERVICE_CONTROL_SEND_PHONE_MODE] return code : FALSE\r\n");
        return std::nullopt;
    case plug::ServiceExchange::Completed:
        break;
    }

    // A request that got no usable answer (the service closed the connection, or stayed silent
    // past the reply bound) is a failed call: there is no result to answer.
    ServiceAnswer answer;
    if (phoneSetting) {
        PhoneSetReply fields = {0, {0, 0, 0}, 0}; // the data bytes that do not arrive stay zeros
        if (!plug::ApplyPhoneSetReply(reply.bytes, reply.count, &fields)) {
            Trace(L"[CPlugstartDlg::ServiceControl(DWORD dwControl) : ReadFile] no reply\r\n");
            return std::nullopt;
        }
        answer.nResult = fields.nResult;
        std::memcpy(answer.byData, fields.byData, sizeof(answer.byData));
    } else {
        if (reply.count == 0) {
            Trace(L"[CPlugstartDlg::ServiceControl(DWORD dwControl) : ReadFile] no reply\r\n");
            return std::nullopt;
        }
        answer.nResult = plug::ParseModeChangeReply(reply.bytes, reply.count);
    }
    Trace(L"End : [CPlugstartDlg::ServiceControl(DWORD dwControl)]");
    return answer;
}
