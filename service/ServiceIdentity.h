// How the command service is known: its name in the service control manager, its description,
// its executable and its pipe. Portable: no Windows headers (the tools and tests share it).
#pragma once

namespace plug {

constexpr wchar_t kCommandServiceName[] = L"Norvo SCSI Commander"; // service and display name
constexpr wchar_t kCommandServiceDescription[] = L"Norvo SCSI Command Sender";
// The service's executable, as shipped in "tools\" and installed in the system folder.
constexpr wchar_t kServiceExecutableName[] = L"NorvoAutorunService.exe";
constexpr wchar_t kServicePipeName[] = L"\\\\.\\pipe\\MyAutoRunPipe"; // on the local machine

} // namespace plug
