// The device profile: which driver family and connection software belong to the device, what
// is installed, and what the worker will do. Built by the system check, read by the workflow,
// exchanged with another running instance. Portable: no Windows headers (BOOL fields are ints).
#pragma once

#include <cstdint>
#include <string>

// Driver families (config DRIVER / driver_type).
enum {
    DRIVERTYPE_QCT = 0,
    DRIVERTYPE_EMP = 1,
    DRIVERTYPE_FOMA_K21C = 2,
};

// Connection-software ("kit") types (config ITK / itk_type).
enum {
    ITKTYPE_VTP = 0,
    ITKTYPE_NorvoITK = 1,
    TYPE_PCSYNC = 2,
    TYPE_CM_DCM = 3,
};

// Results of a vendor SCSI command; a non-negative value is success and counts the answer bytes.
enum {
    FAIL_TO_FIND_DRIVE = -1,
    FAIL_TO_OPEN_DRIVE = -2,
    FAIL_TO_SEND_SCSI_CMD = -3,
    FAIL_TO_OPEN_DRIVE_ACCESS_DENIED = -20,
};

struct ResDefineCommand {
    uint8_t byPhoneFlag[8] = {1, 1, 1, 1, 1, 1, 0, 0}; // bit i of the phone-setting reply's byte 0
    uint32_t dwSCSIWaitTime = 1000;                    // ms to wait after the mode change
    int nDriverType = DRIVERTYPE_QCT;
    int nITKType = ITKTYPE_VTP;
    std::wstring strITKFilename;      // ITK / itk_run_file
    std::wstring strDrvSetupFilename; // DRIVER / driver_name
    std::wstring strITKSetupFinename; // ITK / itk_setup
    int bInstalledDrv = 0;
    int bInstalledITK = 0;
    int bRequireUpDrv = 0;
    int bRequireUpITK = 0;
    // The device's drive letter, to which every vendor command goes. Only the first character
    // counts: a profile received from another instance may carry more after it.
    std::wstring strDrive;
    int bInstallDrv = 1;
    int bInstallITK = 1;
};
