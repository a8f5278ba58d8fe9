// Where the autoplay settings live in the registry: one home for the program's check and for
// the repair tool, which writes the machine-wide ones without the registry class.
#pragma once

namespace plug {

// Machine-wide values (value paths under HKEY_LOCAL_MACHINE).
constexpr wchar_t kCdromAutoRun[] = L"SYSTEM\\CurrentControlSet\\Services\\Cdrom\\AutoRun";
constexpr wchar_t kMachineNoDriveType[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\NoDriveTypeAutoRun";
constexpr wchar_t kShellHwDetectionStart[] = L"SYSTEM\\CurrentControlSet\\Services\\ShellHWDetection\\Start";

// The user's values (keys under HKEY_CURRENT_USER\SOFTWARE).
constexpr wchar_t kUserPolicies[] = L"Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
constexpr wchar_t kNoDriveTypeAutoRun[] = L"NoDriveTypeAutoRun";
constexpr wchar_t kAutoplayHandlers[] = L"Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers";
constexpr wchar_t kDisableAutoplay[] = L"DisableAutoplay";
constexpr wchar_t kDefaultSelection[] =
    L"Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\EventHandlersDefaultSelection\\"
    L"AutorunINFLegacyArrival";
constexpr wchar_t kUserChosen[] =
    L"Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\UserChosenExecuteHandlers\\"
    L"AutorunINFLegacyArrival";

} // namespace plug
