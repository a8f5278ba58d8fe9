// The two things the command service does for Plugstart, answered as pipe replies: the
// phone-setting query and the switch to modem mode, sent through the Devpoke.dll beside the
// service's executable.
#pragma once

#include "service/PipeProtocol.h"

#include <cstddef>
#include <cstdint>

namespace autorun_service {

struct Reply {
    uint8_t bytes[plug::kServiceMessageBytes] = {};
    size_t size = 0;
};

// Runs request against its drive and returns the reply to write. A drive that is not a CD-ROM
// drive (or no drive at all) is never opened: the reply carries -1 (drive not found). When
// Devpoke.dll cannot be loaded the reply carries -2 (the drive cannot be opened).
Reply RunRequest(const plug::ServiceRequest& request);

} // namespace autorun_service
