#include "VersionClass.h"

namespace plug {

int VersionClassFor(unsigned long major, unsigned long minor, const char* servicePack)
{
    if (major < 4)
        return 4;
    if (major == 4) {
        switch (minor) {
        case 0:
            return 0;
        case 10: // Windows 98 SE reports " A" in its service-pack text
            return (servicePack && servicePack[0] != '\0' && servicePack[1] == 'A') ? 2 : 1;
        case 90:
            return 3;
        default:
            return 4;
        }
    }
    if (major == 5) {
        switch (minor) {
        case 0:
            return 5;
        case 1:
            return 6;
        case 2:
            return 7;
        default:
            return -1;
        }
    }
    if (major == 6)
        return 8;
    return -1;
}

bool IsVistaClass(int versionClass) { return versionClass >= 8; }

} // namespace plug
