// The simulated modem: a Devpoke.dll with the real export that answers from the state of the
// device behind each drive letter and logs every command it receives (see README.md).
#include "SimFiles.h"
#include "SimState.h"
#include "devpoke/Devpoke.h"
#include "devpoke/DevpokeRequest.h"
#include "devpoke/VendorCommands.h"
#include "framework/StringFormat.h"

#include <windows.h>

#include <algorithm>

namespace {

std::wstring CallingProcess()
{
    wchar_t path[MAX_PATH * 2] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    std::wstring full = path;
    return full.substr(full.rfind(L'\\') + 1);
}

bool InjectedFailureApplies(const sim::DeviceState& state, const devpoke::Cdb& cdb)
{
    if (state.fail == 0)
        return false;
    return state.failOn.empty() ||
           plug::EqualsNoCase(state.failOn, plug::FormatString(L"%02X%02X", cdb.bytes[1], cdb.bytes[2]));
}

// What the device does with a command that reaches it.
int Execute(wchar_t letter, sim::DeviceState* state, const devpoke::Cdb& cdb, unsigned char* answer, int dataLength)
{
    if (cdb.bytes[1] == devpoke::kPhoneSettingCommand && cdb.bytes[2] == devpoke::kPhoneSettingParameter) {
        int copied = std::min(std::max(state->replyResult, 0), std::min(dataLength, 3));
        std::copy(state->replyBytes, state->replyBytes + copied, answer);
        return state->replyResult;
    }
    if (cdb.bytes[1] == devpoke::kModeCommand &&
        (cdb.bytes[2] == devpoke::kModeFirstForm || cdb.bytes[2] == devpoke::kModeSecondForm)) {
        state->modemMode = true; // the CD-ROM drive goes away, the modem appears
        sim::SaveDeviceState(letter, *state);
        return 0;
    }
    return devpoke::kResultRequestFailed; // a command this device does not know
}

int Simulate(int driveLetter, const devpoke::Cdb& cdb, unsigned char* answer, int dataLength)
{
    if (!devpoke::IsDriveLetter(driveLetter))
        return devpoke::kResultNotALetter;
    if (!devpoke::IsValidDataLength(dataLength) || (dataLength > 0 && !answer))
        return devpoke::kResultRequestFailed;
    wchar_t letter = static_cast<wchar_t>(static_cast<unsigned char>(driveLetter));
    sim::DeviceState state;
    if (!sim::LoadDeviceState(letter, &state)) { // no device here: a drive that is not there, or not ours
        std::wstring root = plug::FormatString(L"%lc:\\", letter);
        return ::GetDriveTypeW(root.c_str()) == DRIVE_NO_ROOT_DIR ? devpoke::kResultOpenFailed
                                                                  : devpoke::kResultRequestFailed;
    }
    if (state.denyDirect && !plug::EqualsNoCase(CallingProcess(), sim::kServiceProcess))
        return devpoke::kResultAccessDenied;
    if (state.modemMode)
        return devpoke::kResultOpenFailed; // the CD-ROM drive has gone
    if (InjectedFailureApplies(state, cdb))
        return state.fail;
    return Execute(letter, &state, cdb, answer, dataLength);
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

extern "C" int __cdecl Devpoke(int driveLetter, int firstByte, int secondByte, unsigned char* answer, int dataLength)
{
    devpoke::Cdb cdb = devpoke::BuildCdb(firstByte, secondByte);
    int result = Simulate(driveLetter, cdb, answer, dataLength);
    sim::AppendCommandLog(plug::FormatString(
        L"drive=%lc\tcdb=%02X %02X %02X %02X %02X %02X\tlength=%d\tprocess=%ls\tresult=%d",
        static_cast<wchar_t>(static_cast<unsigned char>(driveLetter)), cdb.bytes[0], cdb.bytes[1], cdb.bytes[2],
        cdb.bytes[3], cdb.bytes[4], cdb.bytes[5], dataLength, CallingProcess().c_str(), result));
    return result;
}
