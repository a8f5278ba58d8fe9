// The connection-software ("kit") types of the device profile, for the portable code that
// decides by them. Portable: no Windows headers (ResDefineCommand.h names the same values).
#pragma once

namespace plug {

enum KitType {
    kKitTypeVtp = 0,               // ITKTYPE_VTP
    kKitTypeNorvoItk = 1,          // ITKTYPE_NorvoITK
    kKitTypePcSuite = 2,           // TYPE_PCSYNC
    kKitTypeConnectionManager = 3, // TYPE_CM_DCM
};

} // namespace plug
