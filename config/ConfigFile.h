// The reader of "config.ini", the device profile beside the program.
#pragma once

#include <windows.h>

#include <string>

namespace plug {

// When this file can be opened, it is read instead of the program's own "config.ini".
extern const wchar_t kConfigTestOverridePath[];

// The value of key in section of the configuration file (at most 259 characters), or empty.
// The first read in the process that finds no configuration file tells the user, in a message
// box owned by owner; later reads stay silent.
std::wstring GetConfigValue(HWND owner, const std::wstring& section, const std::wstring& key);

// Tells the user, in a message box owned by owner, that no usable configuration file was found,
// unless this process has told them so already: one such message per process, whether a read
// found no file or a reader found nothing usable in it.
void ReportMissingConfiguration(HWND owner);

// The configuration file that GetConfigValue reads (the override when present).
std::wstring ConfigFilePath();

namespace config_detail {
// For tests only: forget that the missing-configuration message was shown.
void ResetMissingConfigMessage();
} // namespace config_detail

} // namespace plug
