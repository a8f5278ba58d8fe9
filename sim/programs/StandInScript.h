// What a stand-in is told to do. A value is looked up, in this order, in the section of the
// script named by the stand-in's own file name ("[DriverSetup.exe]"), in the section of its
// role ("[driver_setup]"), in the device profile beside it as the program finds it (config.ini or
// the test override; for the few keys that have a counterpart there), else the stand-in's
// default. An empty value counts as absent.
#pragma once

#include <windows.h>

#include <string>

namespace sim {

class StandInScript {
public:
    // role: the section name of the role; the program's name and folder come from the process.
    explicit StandInScript(const wchar_t* role);
    // For tests: a stand-in of that role and file name, reading the given script and profile.
    StandInScript(const wchar_t* role, std::wstring programName, std::wstring scriptPath, std::wstring profilePath);

    const std::wstring& ProgramName() const { return m_programName; }

    // The scripted value of key, else fallback.
    std::wstring Text(const wchar_t* key, const std::wstring& fallback = L"") const;
    // The scripted value of key, else the device profile's value of profileKey in profileSection,
    // else fallback.
    std::wstring TextOrProfile(const wchar_t* key, const wchar_t* profileSection, const wchar_t* profileKey,
                               const std::wstring& fallback) const;
    // A duration in milliseconds (leading decimal digits), at most capMs; fallback when absent.
    DWORD Milliseconds(const wchar_t* key, DWORD fallback, DWORD capMs) const;

private:
    std::wstring m_role;
    std::wstring m_programName;
    std::wstring m_scriptPath;
    std::wstring m_profilePath;
};

} // namespace sim
