// The Windows service "Norvo SCSI Commander": registration with the service control manager,
// status reports and the stop control around the pipe server.
#pragma once

namespace autorun_service {

// Runs the process as the service until it is stopped; returns the process exit code (1 when
// the process was not started by the service control manager).
int RunService();

} // namespace autorun_service
