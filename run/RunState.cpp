#include "RunState.h"

#include "config/ModulePath.h"

std::wstring DeviceDrive(const RunState& run)
{
    return run.m_strDriveLetter.empty() ? plug::GetModuleDirectory() : run.m_strDriveLetter;
}

wchar_t DeviceDriveLetter(const RunState& run)
{
    const std::wstring drive = DeviceDrive(run);
    return drive.empty() ? L'\0' : drive[0];
}
