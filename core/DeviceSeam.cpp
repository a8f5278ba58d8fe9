#include "DeviceSeam.h"

#include "devpoke/Devpoke.h"

namespace plug {

namespace {
DevpokeFunction volatile g_devpoke = &::Devpoke;
}

int CallDevpoke(int driveLetter, int firstByte, int secondByte, unsigned char* answer, int dataLength)
{
    DevpokeFunction function = g_devpoke;
    return function(driveLetter, firstByte, secondByte, answer, dataLength);
}

DevpokeFunction SetDevpokeFunction(DevpokeFunction function)
{
    DevpokeFunction previous = g_devpoke;
    g_devpoke = function ? function : &::Devpoke;
    return previous;
}

} // namespace plug
