// The device profile: which driver family and connection software belong to the device, what
// is installed, and what the worker will do. Built by the system check, read by the workflow.
#pragma once

#include <windows.h>

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
    BYTE byPhoneFlag[8] = {1, 1, 1, 1, 1, 1, 0, 0}; // bit i of the phone-setting reply's byte 0
    DWORD dwSCSIWaitTime = 1000;                    // ms to wait after the mode change
    int nDriverType = DRIVERTYPE_QCT;
    int nITKType = ITKTYPE_VTP;
    std::wstring strITKFilename;      // ITK / itk_run_file
    std::wstring strDrvSetupFilename; // DRIVER / driver_name
    std::wstring strITKSetupFinename; // ITK / itk_setup
    BOOL bInstalledDrv = FALSE;
    BOOL bInstalledITK = FALSE;
    BOOL bRequireUpDrv = FALSE;
    BOOL bRequireUpITK = FALSE;
    std::wstring strDrive; // first character: the drive letter every vendor command goes to
    BOOL bInstallDrv = TRUE;
    BOOL bInstallITK = TRUE;
};
