#include "RobotEvents.h"

#include "sim/SimFiles.h"
#include "sim/SimLog.h"

namespace robot {

std::wstring FormatEvent(const std::wstring& kind, const EventFields& fields)
{
    std::wstring line = sim::LogField(L"event", kind);
    for (const auto& field : fields)
        line += L"\t" + sim::LogField(field.first, field.second);
    return line;
}

void WriteEvent(const std::wstring& kind, const EventFields& fields)
{
    sim::AppendLogLine(EventLogPath(), FormatEvent(kind, fields));
}

std::wstring RobotFolder() { return std::wstring(sim::kStateFolder) + L"robot"; }
std::wstring EventLogPath() { return RobotFolder() + L"\\events.log"; }
std::wstring AckPath(unsigned long number) { return RobotFolder() + L"\\ack-" + std::to_wstring(number); }
std::wstring StopPath() { return RobotFolder() + L"\\stop"; }

} // namespace robot
