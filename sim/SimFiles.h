// Where the simulated device keeps its state and its command log (see sim/README.md).
#pragma once

namespace sim {

// The state of the device behind drive X once it has changed: C:\plugstart_sim\X.ini (X upper case).
constexpr wchar_t kStateFolder[] = L"C:\\plugstart_sim\\";
// The state a device starts with, at the root of its own drive: X:\plugstart_sim.ini.
constexpr wchar_t kDefaultStateName[] = L"plugstart_sim.ini";
// One line per command received: C:\plugstart_sim\commands.log.
constexpr wchar_t kLogName[] = L"commands.log";

constexpr wchar_t kSection[] = L"device";
// Keys of a state file.
constexpr wchar_t kKeyMode[] = L"mode";                // "cdrom" or "modem"
constexpr wchar_t kKeyReplyResult[] = L"reply_result"; // result of the phone-setting query
constexpr wchar_t kKeyReplyBytes[] = L"reply_bytes";   // its three bytes, hexadecimal: "3F 03 E8"
constexpr wchar_t kKeyFail[] = L"fail";                // 0, or a result every matching command gets (-2, -3)
constexpr wchar_t kKeyFailOn[] = L"fail_on";           // empty (every command) or command bytes 1 and 2: "0101"
constexpr wchar_t kKeyDenyDirect[] = L"deny_direct";   // 1: -20 for every process but the command service

constexpr wchar_t kModeCdrom[] = L"cdrom";
constexpr wchar_t kModeModem[] = L"modem";
constexpr wchar_t kServiceProcess[] = L"NorvoAutorunService.exe";

} // namespace sim
