#include "RobotEvents.h"

#include "sim/SimLog.h"
#include "framework/StringFormat.h"

#include <cstdlib>

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
    std::string line = plug::ToUtf8(FormatEvent(kind, fields)) + "\r\n";
    HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    const char* next = line.data();
    DWORD left = static_cast<DWORD>(line.size());
    DWORD written = 0;
    while (left > 0 && ::WriteFile(output, next, left, &written, nullptr) && written > 0) {
        next += written;
        left -= written;
    }
}

RunControl::RunControl() { m_reader = AfxBeginThread(&RunControl::Read, this); }

void RunControl::Take(const std::string& line)
{
    if (line == "stop") {
        m_stop = true;
    } else if (line.compare(0, 4, "ack ") == 0) {
        unsigned long number = std::strtoul(line.c_str() + 4, nullptr, 10);
        if (number > m_acknowledged.load())
            m_acknowledged = number;
    } else if (line.compare(0, 5, "sync ") == 0) {
        unsigned long number = std::strtoul(line.c_str() + 5, nullptr, 10);
        if (number > m_syncAsked.load())
            m_syncAsked = number;
    }
}

UINT RunControl::Read(LPVOID parameter)
{
    RunControl* control = static_cast<RunControl*>(parameter);
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    char buffer[256];
    DWORD read = 0;
    while (::ReadFile(input, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        pending.append(buffer, read);
        for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            std::string line = pending.substr(0, end);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            control->Take(line);
        }
    }
    control->m_stop = true; // the run has gone, or holds no input for the robot: nothing to wait for
    return 0;
}

} // namespace robot
