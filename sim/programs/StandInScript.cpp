#include "StandInScript.h"

#include "StandInFiles.h"
#include "config/ConfigFile.h"
#include "config/ModulePath.h"

#include <cwchar>

namespace sim {

namespace {

constexpr DWORD kValueSize = 1024;

std::wstring ReadProfileValue(const std::wstring& file, const std::wstring& section, const wchar_t* key)
{
    if (file.empty())
        return std::wstring();
    wchar_t value[kValueSize] = {};
    ::GetPrivateProfileStringW(section.c_str(), key, L"", value, kValueSize, file.c_str());
    return value;
}

// The running program's file name.
std::wstring OwnFileName()
{
    std::wstring path = plug::GetModulePath();
    return path.substr(path.rfind(L'\\') + 1);
}

} // namespace

StandInScript::StandInScript(const wchar_t* role)
    : StandInScript(role, OwnFileName(), kProgramsScript, plug::ConfigFilePath())
{
}

StandInScript::StandInScript(const wchar_t* role, std::wstring programName, std::wstring scriptPath,
                             std::wstring profilePath)
    : m_role(role), m_programName(std::move(programName)), m_scriptPath(std::move(scriptPath)),
      m_profilePath(std::move(profilePath))
{
}

std::wstring StandInScript::Text(const wchar_t* key, const std::wstring& fallback) const
{
    for (const std::wstring& section : {m_programName, m_role}) {
        std::wstring value = ReadProfileValue(m_scriptPath, section, key);
        if (!value.empty())
            return value;
    }
    return fallback;
}

std::wstring StandInScript::TextOrProfile(const wchar_t* key, const wchar_t* profileSection, const wchar_t* profileKey,
                                          const std::wstring& fallback) const
{
    std::wstring value = Text(key);
    if (value.empty())
        value = ReadProfileValue(m_profilePath, profileSection, profileKey);
    return value.empty() ? fallback : value;
}

DWORD StandInScript::Milliseconds(const wchar_t* key, DWORD fallback, DWORD capMs) const
{
    std::wstring text = Text(key);
    if (text.empty() || text[0] < L'0' || text[0] > L'9')
        return fallback < capMs ? fallback : capMs;
    unsigned long long value = std::wcstoull(text.c_str(), nullptr, 10);
    return value < capMs ? static_cast<DWORD>(value) : capMs;
}

} // namespace sim
