#include "RunState.h"

#include "config/ModulePath.h"

wchar_t DeviceDriveLetter(const RunState& run)
{
    const std::wstring drive = run.m_strDriveLetter.empty() ? plug::GetModuleDirectory() : run.m_strDriveLetter;
    return drive.empty() ? L'\0' : drive[0];
}
