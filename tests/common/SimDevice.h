// The simulated device (sim/) as the tests see it: its state per drive letter and the log of
// the commands it received.
#pragma once

#include "sim/SimState.h"

#include <string>
#include <vector>

namespace plugtest {

struct SimCommand {
    wchar_t drive = 0;
    std::wstring cdb; // "F1 01 01 00 00 00"
    int length = 0;
    std::wstring process;
    int result = 0;
};

// While it lives the simulated devices have no changed state and the log is empty; both are
// removed again at the end.
class SimDevice {
public:
    SimDevice();
    ~SimDevice();
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    void SetState(wchar_t letter, const sim::DeviceState& state);
    // The device's state as the simulation sees it now (a default state when it has none).
    sim::DeviceState State(wchar_t letter) const;
    std::vector<SimCommand> Commands() const;
};

} // namespace plugtest
