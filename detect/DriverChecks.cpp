// Whether the modem driver of a family is registered for the device, its files are present,
// and whether its package is installed.
#include "detect/Detector.h"

#include "detect/InstallPaths.h"
#include "framework/StringFormat.h"
#include "registry/RegAccess.h"

using namespace plug::detect;

namespace {

const wchar_t kUsbClassKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";
const wchar_t kModemClassKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const wchar_t kPortsClassKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E978-E325-11CE-BFC1-08002BE10318}";
const wchar_t kDriverDesc[] = L"DriverDesc";

// TRUE when every listed HKLM key exists.
bool AllMachineKeysExist(std::initializer_list<const wchar_t*> keys)
{
    CRegAccess registry;
    for (const wchar_t* key : keys) {
        if (!registry.KeyExists(REGROOT_LOCAL_MACHINE, key))
            return false;
    }
    return true;
}

// TRUE when prefix + one name of every pair is an existing file.
bool EveryPairPresent(const std::wstring& prefix, std::initializer_list<std::initializer_list<const wchar_t*>> pairs)
{
    for (const auto& pair : pairs) {
        if (!AnyFileExists(prefix, pair))
            return false;
    }
    return true;
}

bool EveryFilePresent(const std::wstring& prefix, std::initializer_list<const wchar_t*> names)
{
    for (const wchar_t* name : names) {
        if (!AnyFileExists(prefix, {name}))
            return false;
    }
    return true;
}

} // namespace

BOOL CDetector::FindClassDriverDesc(int nRoot, std::wstring strClassKey, std::wstring strValueName,
                                    std::vector<std::wstring> names)
{
    CRegAccess registry;
    if (!registry.KeyExists(nRoot, strClassKey))
        return FALSE;
    // Instance numbers have four digits: "0000" to "9999".
    for (int index = 0; index <= 9999; ++index) {
        std::wstring subkey = plug::FormatString(L"%ls\\%04d", strClassKey.c_str(), index);
        if (!registry.KeyExists(nRoot, subkey))
            return FALSE;
        std::wstring value;
        if (!registry.GetString(nRoot, plug::FormatString(L"%ls\\%ls", subkey.c_str(), strValueName.c_str()), value))
            continue;
        for (const std::wstring& name : names) {
            if (plug::EqualsNoCase(value, name))
                return TRUE;
        }
    }
    return FALSE;
}

BOOL CDetector::IsRegisteredDriverQCT()
{
    if (!AllMachineKeysExist({L"SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_2C7D&Pid_7A10",
                              L"SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_2C7D&PID_7A10_DIAGInterface",
                              L"SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_2C7D&PID_7A10_MODEMInterface"}))
        return FALSE;
    return FindClassDriverDesc(REGROOT_LOCAL_MACHINE, kUsbClassKey, kDriverDesc,
                               {L"NorvoE Mobile Composite USB Device", L"NorvoE CDMA Composite USB Device"}) &&
           FindClassDriverDesc(REGROOT_LOCAL_MACHINE, kModemClassKey, kDriverDesc,
                               {L"NorvoE Mobile USB Modem", L"NorvoE CDMA USB Modem"}) &&
           FindClassDriverDesc(REGROOT_LOCAL_MACHINE, kPortsClassKey, kDriverDesc,
                               {L"NorvoE Mobile USB Serial Port", L"NorvoE CDMA USB Serial Port"});
}

// The EMP family is registered with its USB and Modem classes; its OBEX port in the Ports class
// is not required.
BOOL CDetector::IsRegisteredDriverEMP()
{
    if (!AllMachineKeysExist({L"SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_2C7D&Pid_7A21",
                              L"SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_2C7D&Pid_7A21&Mi_01"}))
        return FALSE;
    return FindClassDriverDesc(REGROOT_LOCAL_MACHINE, kUsbClassKey, kDriverDesc, {L"Norvo Mobile"}) &&
           FindClassDriverDesc(REGROOT_LOCAL_MACHINE, kModemClassKey, kDriverDesc,
                               {L"Norvo Mobile USB WMC Data Modem"});
}

BOOL CDetector::IsDriverFileQCT()
{
    std::wstring systemFolder;
    if (!plug::GetSystemFolder(systemFolder))
        return FALSE;
    return QctDriverFilesPresent(systemFolder + L"\\drivers\\");
}

BOOL CDetector::IsDriverFileEMP()
{
    std::wstring systemFolder;
    if (!plug::GetSystemFolder(systemFolder))
        return FALSE;
    return EveryFilePresent(systemFolder + L"\\drivers\\",
                            {L"norvomdbus.sys", L"norvomdcm.sys", L"norvomdcmnt.sys", L"norvomdmdfl.sys",
                             L"norvomdmdm.sys", L"norvomdmgmt.sys", L"norvomdobex.sys", L"norvomdwhnt.sys"});
}

BOOL CDetector::IsInstalledDriver(int nDrvType)
{
    switch (nDrvType) {
    case DRIVERTYPE_QCT:
        if (!IsRegisteredDriverQCT())
            return FALSE;
        return Is64BitWindows(m_run.m_nWow64) ? TRUE : IsDriverFileQCT();
    case DRIVERTYPE_EMP:
        if (!IsRegisteredDriverEMP())
            return FALSE;
        return Is64BitWindows(m_run.m_nWow64) ? TRUE : IsDriverFileEMP();
    case DRIVERTYPE_FOMA_K21C:
        return IsSuccessInstallingDriver(DRIVERTYPE_FOMA_K21C);
    default:
        return TRUE;
    }
}

BOOL CDetector::IsSuccessInstallingDriver(int nDrvType)
{
    switch (nDrvType) {
    case DRIVERTYPE_QCT:
        return IsQctPackageInstalled();
    case DRIVERTYPE_EMP:
        return IsEmpPackageInstalled();
    case DRIVERTYPE_FOMA_K21C:
        return IsK21cPackageInstalled();
    default:
        return TRUE;
    }
}

BOOL CDetector::InstalledDriverFallback(int nDrvType)
{
    BOOL installed = IsInstalledDriver(nDrvType);
    Trace(installed ? L"[IsSuccessInstallingDriver() IsInstalledDriver(nDrvType)] return code : TRUE\r\n"
                    : L"[IsSuccessInstallingDriver() IsInstalledDriver(nDrvType)] return code : FALSE\r\n");
    return installed;
}

const wchar_t* CDetector::QctPackageFolder()
{
    if (IsQctDriversEditionRegistered())
        return kQctDriversEditionFolder;
    if (UninstallKeyExists(kQctDriverCode, UninstallView::Native))
        return kQctDriverEditionFolder;
    Trace(L"[IsSuccessInstallingDriver() HaveRegistered : 32Bit] return code : FALSE\r\n");
    if (UninstallKeyExists(kQctDriverCode, UninstallView::Wow))
        return kQctDriverEditionFolder;
    Trace(L"[IsSuccessInstallingDriver() HaveRegistered : 64Bit] return code : FALSE\r\n");
    return nullptr;
}

BOOL CDetector::IsQctPackageInstalled()
{
    const wchar_t* edition = QctPackageFolder();
    if (!edition)
        return InstalledDriverFallback(DRIVERTYPE_QCT);
    std::wstring programFiles;
    if (!plug::GetProgramFilesFolder(programFiles))
        return FALSE;
    std::wstring folder = plug::FormatString(L"%ls\\Norvo Electronics\\%ls", programFiles.c_str(), edition);
    if (QctDriverFilesPresent(folder + L"\\"))
        return TRUE;
    return InstalledDriverFallback(DRIVERTYPE_QCT);
}

BOOL CDetector::IsEmpPackageInstalled()
{
    if (!IsProductRegistered(kEmpDriverCode))
        return InstalledDriverFallback(DRIVERTYPE_EMP);
    std::wstring folder;
    if (!GetEmpPackageFolder(Is64BitWindows(m_run.m_nWow64), folder))
        return FALSE;
    // The package folder holds no "norvomdcm.sys", unlike the system drivers folder.
    if (EveryFilePresent(folder + L"\\", {L"norvomdbus.sys", L"norvomdcmnt.sys", L"norvomdmdfl.sys", L"norvomdmdm.sys",
                                          L"norvomdmgmt.sys", L"norvomdobex.sys", L"norvomdwhnt.sys"}))
        return TRUE;
    return IsInstalledDriver(DRIVERTYPE_EMP); // a missing package file: no fallback traces here
}

BOOL CDetector::IsK21cPackageInstalled()
{
    std::wstring folder = K21cPackageFolder(
        L"[IsSuccessInstallingDriver()] TYPE_CM_DCM : Registry value is empty.\r\n");
    if (folder.empty())
        return FALSE;
    return EveryPairPresent(folder, {{L"K21c64bus.sys", L"K21cbus.sys"}, {L"K21c64mdm.sys", L"K21cmdm.sys"}});
}

std::wstring CDetector::K21cPackageFolder(const wchar_t* emptyTrace)
{
    std::wstring location;
    if (!ReadK21cInstallLocation(location))
        return std::wstring();
    if (location.empty()) {
        Trace(emptyTrace);
        return std::wstring();
    }
    return WithTrailingBackslash(location);
}
