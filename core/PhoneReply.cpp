#include "PhoneReply.h"

namespace plug {

void ApplyPhoneSettingReply(int result, const uint8_t (&bytes)[3], ResDefineCommand& profile)
{
    for (int bit = 0; bit < 8; ++bit)
        profile.byPhoneFlag[bit] = static_cast<uint8_t>((bytes[0] >> bit) & 1);
    if (result != 3)
        return; // a partial answer: the wait and the types stay as configured
    profile.dwSCSIWaitTime = static_cast<uint32_t>(bytes[1]) * 256 + bytes[2];
    const uint8_t* flag = profile.byPhoneFlag;
    if (flag[6] != 1)
        return;
    if (flag[0] == 0 && flag[1] == 0)
        profile.nITKType = TYPE_PCSYNC;
    profile.nDriverType = (flag[2] == 1 && flag[3] == 1) ? DRIVERTYPE_EMP : DRIVERTYPE_QCT;
}

} // namespace plug
