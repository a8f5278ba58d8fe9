// Whether each driver family and each kind of connection software is installed and current, and
// the values left for the Internet Kit. Every check reads the registry and the file system
// afresh; a failed lookup answers FALSE for "is installed" and TRUE for "needs an update".
#pragma once

#include "run/RunHost.h"
#include "run/RunState.h"

#include <optional>
#include <string>
#include <vector>

class CDetector {
public:
    // Reads the run's profile, 64-bit and install flags; writes m_bDrvPackageRegistered.
    CDetector(RunState& run, IRunHost& host) : m_run(run), m_host(host) {}

    // --- Installed drivers and kits (DriverChecks.cpp, KitChecks.cpp, PCSuiteCheck.cpp) ---
    // Whether the driver of a family is registered and present. An unknown type answers TRUE.
    BOOL IsInstalledDriver(int nDrvType);
    BOOL IsSuccessInstallingDriver(int nDrvType);
    BOOL IsRegisteredDriverQCT();
    BOOL IsRegisteredDriverEMP();
    BOOL IsDriverFileQCT();
    BOOL IsDriverFileEMP();
    // TRUE when a numbered subkey "0000", "0001", ... of the class key (dense numbering: the scan
    // ends at the first missing number) has the string value equal to one of names, ignoring case.
    BOOL FindClassDriverDesc(int nRoot, std::wstring strClassKey, std::wstring strValueName,
                             std::vector<std::wstring> names);
    // Whether the kit of a type is installed; TRUE in driver-only mode.
    BOOL IsInstalledITK(int nITKType);
    // The installed kit's program, which the launch starts: its full path when it exists, else
    // none (KitProgram.cpp).
    std::optional<std::wstring> CheckITKProgram(int nITKType);
    // Whether a PC suite application of the maker runs.
    BOOL IsRunPCSuiteApp();

    // --- Update needs (UpdateChecks.cpp) ---
    // Whether the shipped driver or kit is newer than the installed one; TRUE when the installed
    // version cannot be found out.
    BOOL IsRequireUpDrv(int nDrvType);
    BOOL IsRequireUpITK(int nITKType);

    // --- Internet Kit hand-off values (ItkHandOff.cpp) ---
    void SaveDriverTypeForITK();
    void SaveModemNamesForITK();

private:
    void Trace(const std::wstring& text) { m_host.Trace(text); }
    HWND Owner() { return m_host.MessageOwner(); }

    // The folder name of the registered QCT package edition, or nullptr when none is registered.
    const wchar_t* QctPackageFolder();
    BOOL IsQctPackageInstalled();
    BOOL IsEmpPackageInstalled();
    BOOL IsK21cPackageInstalled();
    BOOL InstalledDriverFallback(int nDrvType);
    BOOL IsKitRegistered(const wchar_t* productCode, const wchar_t* strNativeMissingTrace,
                         const wchar_t* strWowMissingTrace);
    BOOL IsNorvoKitFilePresent();
    // The kits that their user key places: the PC suite (its program named by the key), the
    // connection manager (its folder named by the key, the program by the configuration).
    BOOL IsPcSuiteInstalled();
    BOOL IsConnectionManagerInstalled();
    // The user key strKey (under "SOFTWARE\") of the kit labelled strKitLabel exists; its program
    // strProgram exists. Each traces a "no".
    BOOL IsUserKitKeyThere(const wchar_t* strKitLabel, const wchar_t* strKey);
    BOOL IsUserKitProgramThere(const wchar_t* strKitLabel, const std::wstring& strProgram);
    // Where the installed kit of nITKType keeps the program the launch starts, into program; false,
    // after its trace, when that cannot be said (KitProgram.cpp).
    bool KitProgramPath(int nITKType, const std::wstring& programFiles, std::wstring& program);
    // The folder of the K21C package's driver files, with a trailing backslash; empty when the
    // package is not registered, its location cannot be read, or it is empty (after emptyTrace).
    std::wstring K21cPackageFolder(const wchar_t* emptyTrace);
    BOOL IsRequireUpQctDriver(const std::wstring& strShippedVersion);
    BOOL IsRequireUpEmpDriver(const std::wstring& strShippedVersion);
    BOOL IsRequireUpK21cDriver(const std::wstring& strShippedVersion);
    BOOL IsRequireUpVtpKit(const std::wstring& strShippedVersion);
    BOOL IsRequireUpNorvoKit(const std::wstring& strShippedVersion);
    BOOL IsRequireUpConnectionManager(const std::wstring& strShippedVersion);
    // TRUE when strFile is missing or older than strShippedVersion.
    BOOL IsShippedNewerThanFile(const std::wstring& strFile, const std::wstring& strShippedVersion);
    BOOL IsNewVersionTraced(const wchar_t* strCheck, const wchar_t* strEndTrace,
                            const std::wstring& strInstalledVersion, const std::wstring& strShippedVersion);

    RunState& m_run;
    IRunHost& m_host;
};
