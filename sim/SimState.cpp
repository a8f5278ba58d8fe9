#include "SimState.h"

#include "SimFiles.h"
#include "SimLog.h"
#include "framework/StringFormat.h"

#include <cwchar>
#include <cwctype>

namespace sim {

namespace {

std::wstring ReadValue(const std::wstring& file, const wchar_t* key)
{
    wchar_t value[128] = {};
    ::GetPrivateProfileStringW(kSection, key, L"", value, 128, file.c_str());
    return value;
}

int ReadInt(const std::wstring& file, const wchar_t* key, int fallback)
{
    std::wstring text = ReadValue(file, key);
    return text.empty() ? fallback : static_cast<int>(std::wcstol(text.c_str(), nullptr, 10));
}

void ReadState(const std::wstring& file, DeviceState* state)
{
    state->modemMode = plug::EqualsNoCase(ReadValue(file, kKeyMode), kModeModem);
    state->replyResult = ReadInt(file, kKeyReplyResult, state->replyResult);
    std::wstring bytes = ReadValue(file, kKeyReplyBytes);
    const wchar_t* next = bytes.c_str();
    for (BYTE& byte : state->replyBytes) {
        wchar_t* end = nullptr;
        unsigned long value = std::wcstoul(next, &end, 16);
        if (end == next)
            break;
        byte = static_cast<BYTE>(value);
        next = end;
    }
    state->fail = ReadInt(file, kKeyFail, 0);
    state->failOn = ReadValue(file, kKeyFailOn);
    state->denyDirect = ReadInt(file, kKeyDenyDirect, 0) != 0;
}

bool IsReadable(const std::wstring& file) { return ::GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES; }

} // namespace

std::wstring StateFilePath(wchar_t letter)
{
    return std::wstring(kStateFolder) + static_cast<wchar_t>(towupper(letter)) + L".ini";
}

bool LoadDeviceState(wchar_t letter, DeviceState* state)
{
    std::wstring changed = StateFilePath(letter);
    std::wstring initial = plug::FormatString(L"%lc:\\%ls", letter, kDefaultStateName);
    for (const std::wstring& file : {changed, initial}) {
        if (IsReadable(file)) {
            ReadState(file, state);
            return true;
        }
    }
    return false;
}

void SaveDeviceState(wchar_t letter, const DeviceState& state)
{
    ::CreateDirectoryW(kStateFolder, nullptr);
    std::wstring file = StateFilePath(letter);
    auto write = [&file](const wchar_t* key, const std::wstring& value) {
        ::WritePrivateProfileStringW(kSection, key, value.c_str(), file.c_str());
    };
    write(kKeyMode, state.modemMode ? kModeModem : kModeCdrom);
    write(kKeyReplyResult, std::to_wstring(state.replyResult));
    write(kKeyReplyBytes,
          plug::FormatString(L"%02X %02X %02X", state.replyBytes[0], state.replyBytes[1], state.replyBytes[2]));
    write(kKeyFail, std::to_wstring(state.fail));
    write(kKeyFailOn, state.failOn);
    write(kKeyDenyDirect, state.denyDirect ? L"1" : L"0");
}

void AppendCommandLog(const std::wstring& line) { AppendLogLine(std::wstring(kStateFolder) + kLogName, line); }

} // namespace sim
