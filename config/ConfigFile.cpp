#include "ConfigFile.h"

#include "Messages.h"
#include "ModulePath.h"

namespace plug {

const wchar_t kConfigTestOverridePath[] = L"C:\\config_test_config.ini";

namespace {
// Set by the first read that finds no configuration file, never cleared: one message per process.
volatile bool g_missingConfigShown = false;
} // namespace

std::wstring ConfigFilePath()
{
    if (IsExistFile(kConfigTestOverridePath))
        return kConfigTestOverridePath;
    return GetModuleDirectory() + L"config.ini";
}

std::wstring GetConfigValue(HWND owner, const std::wstring& section, const std::wstring& key)
{
    std::wstring path = ConfigFilePath();
    // A value read is proof enough that the file is there; only an empty one asks whether the
    // file is missing (one open of the file less for every value found).
    wchar_t value[260] = {};
    DWORD length = ::GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", value, 260, path.c_str());
    if (length > 0)
        return std::wstring(value, length < 260 ? length : 259);
    if (!IsExistFile(path))
        ReportMissingConfiguration(owner);
    return std::wstring();
}

void ReportMissingConfiguration(HWND owner)
{
    if (g_missingConfigShown)
        return;
    g_missingConfigShown = true;
    ShowLanguageMessage(owner, L"STR_STRING_ERROR_CANNOT_FIND_CONFIG", MB_ICONEXCLAMATION | MB_OK);
}

namespace config_detail {
void ResetMissingConfigMessage() { g_missingConfigShown = false; }
} // namespace config_detail

} // namespace plug
