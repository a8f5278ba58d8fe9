// Which message the run shows: the keys of the vendor-command failures and the texts that name
// the connection software. Portable: no Windows headers.
#pragma once

#include <string>
#include <vector>

namespace plug {

// The product of a kit type as the messages name it, in place of "Norvo PC Suite":
// "Vodafone Mobile Connect via the phone", "Norvo Internet Kit", "Norvo Connection Manager";
// the PC suite (and an unknown type) keeps the text as it is.
std::wstring WithProductName(const std::wstring& text, int kitType);

// True when languageFile (the relative name chosen at start) is the Japanese one, which has texts
// of its own for the connection manager ("_CM" keys).
bool IsJapaneseLanguageFile(const std::wstring& languageFile);

// True when text has no character other than blanks.
bool IsBlankText(const std::wstring& text);

// The message for a kit setup that did not install the kit: notInstall is the text of
// "STR_STRING_PCSUITE_NOT_INSTALL", notInstallCm that of its "_CM" variant (read only with the
// Japanese language file, which has a text of its own for the connection manager).
std::wstring KitNotInstalledText(int kitType, bool japaneseLanguage, const std::wstring& notInstall,
                                 const std::wstring& notInstallCm);

// Who sent a vendor command to the device: the program itself, or the command service for it.
enum class CommandSender { Program, Service };
// The device's two vendor commands.
enum class VendorCommand { PhoneSettingQuery, ModeChange };

// The language key for a failed vendor command: result -1, -2 or -3, sent by the program
// ("STR_STRING_ERROR_SCSI_0_m" to "_2_m") or reported by the command service ("_4_m" to "_6_m");
// m is 0 for the phone-setting query and 1 for the mode change. Empty for any other result.
std::wstring ScsiFailureKey(int result, CommandSender sender, VendorCommand command);

// The language key for a phone-setting query sent directly that failed with a negative result
// other than access denied (which takes the command service's route): the key of -1, -2 or -3,
// and for any other negative result that of a failed command (-3), "STR_STRING_ERROR_SCSI_2_0",
// so that the user is never shown an empty box.
std::wstring PhoneQueryFailureKey(int result);

// The language keys of every message the run of kitType may show once the mode change has been
// sent, and the title of their boxes: the switch's failures (the command service's when it may
// stand in for a refused user, else the notice that rights are needed) and, for the kits that
// are launched, their program not found. Each key costs a read of the language file.
std::vector<std::wstring> KeysAfterTheModeChange(int kitType, bool mayUseCommandService);

} // namespace plug
