#include "SimDevice.h"

#include "TestFiles.h"
#include "sim/SimFiles.h"

#include <sstream>

namespace plugtest {

namespace {

void ForgetEverything() { RemoveTree(sim::kStateFolder); }

SimCommand ParseLogLine(const std::wstring& line)
{
    SimCommand command;
    std::wstringstream fields(line);
    std::wstring field;
    while (std::getline(fields, field, L'\t')) {
        size_t equals = field.find(L'=');
        if (equals == std::wstring::npos)
            continue;
        std::wstring key = field.substr(0, equals);
        std::wstring value = field.substr(equals + 1);
        if (key == L"drive" && !value.empty())
            command.drive = value[0];
        else if (key == L"cdb")
            command.cdb = value;
        else if (key == L"length")
            command.length = std::stoi(value);
        else if (key == L"process")
            command.process = value;
        else if (key == L"result")
            command.result = std::stoi(value);
    }
    return command;
}

} // namespace

SimDevice::SimDevice() { ForgetEverything(); }

SimDevice::~SimDevice() { ForgetEverything(); }

void SimDevice::SetState(wchar_t letter, const sim::DeviceState& state) { sim::SaveDeviceState(letter, state); }

sim::DeviceState SimDevice::State(wchar_t letter) const
{
    sim::DeviceState state;
    sim::LoadDeviceState(letter, &state);
    return state;
}

std::vector<SimCommand> SimDevice::Commands() const
{
    std::string bytes = ReadBinaryFile(std::wstring(sim::kStateFolder) + sim::kLogName);
    std::wstring text(bytes.begin(), bytes.end()); // the log is ASCII but for process names
    std::vector<SimCommand> commands;
    std::wstringstream lines(text);
    std::wstring line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        if (!line.empty())
            commands.push_back(ParseLogLine(line));
    }
    return commands;
}

} // namespace plugtest
