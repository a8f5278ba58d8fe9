// A stand-in for the PC-suite download-check library "NorvoPsLvDlChk.dll": its one export
// "CheckPSLVDL" answers from a profile file and logs what the caller handed over (README.md).
// Test builds only; the real library is not part of this system.
#include "DownloadCheckFiles.h"
#include "SimLog.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const size_t kShort = 20;
const size_t kInput = 250;
const size_t kResultText = 200;
const size_t kCandidate = 250;

std::string ReadValue(const std::wstring& key)
{
    wchar_t value[1024] = {};
    ::GetPrivateProfileStringW(sim::kDownloadSection, key.c_str(), L"", value, 1024,
                               sim::kDownloadCheckProfile.c_str());
    std::string narrow;
    for (const wchar_t* c = value; *c; ++c)
        narrow.push_back(static_cast<char>(*c)); // the scripted answers are ASCII
    return narrow;
}

// Writes text into buffer: terminated (cut to fit), or repeated to fill every byte of it.
void WriteText(char* buffer, size_t size, const std::string& text, bool unterminated)
{
    if (text.empty())
        return;
    if (unterminated) {
        for (size_t i = 0; i < size; ++i)
            buffer[i] = text[i % text.size()];
        return;
    }
    size_t length = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), length);
    buffer[length] = 0;
}

bool IsZeroed(const char* buffer, size_t size, size_t from = 0)
{
    for (size_t i = from; i < size; ++i) {
        if (buffer[i] != 0)
            return false;
    }
    return true;
}

// Text of a caller's input buffer, never past its end.
std::string InputText(const char* buffer, size_t size)
{
    const void* zero = std::memchr(buffer, 0, size);
    return std::string(buffer, zero ? static_cast<const char*>(zero) - buffer : size);
}

} // namespace

extern "C" int WINAPI CheckPSLVDL(char* identity, char* input1, char* input2, char* input3, char* input4, char* input5,
                                  char* resultText, char* candidate1, char* candidate2, char* candidate3, char* flag,
                                  char* version)
{
    std::string flagText = InputText(flag, kShort);
    std::string versionText = InputText(version, kShort);
    bool zeroed = IsZeroed(identity, kShort) && IsZeroed(input1, kInput) && IsZeroed(input2, kInput) &&
                  IsZeroed(input3, kInput) && IsZeroed(input4, kInput) && IsZeroed(input5, kInput) &&
                  IsZeroed(resultText, kResultText) && IsZeroed(candidate1, kCandidate) &&
                  IsZeroed(candidate2, kCandidate) && IsZeroed(candidate3, kCandidate) &&
                  IsZeroed(flag, kShort, flagText.size()) && IsZeroed(version, kShort, versionText.size());
    sim::AppendLogLine(sim::kDownloadCheckLog,
                       "flag=" + flagText + "\tversion=" + versionText + "\tzeroed=" + (zeroed ? "1" : "0"));

    bool unterminated = ReadValue(sim::kKeyUnterminated) == "1";
    WriteText(resultText, kResultText, ReadValue(sim::kKeyResultText), unterminated);
    char* candidates[] = {candidate1, candidate2, candidate3};
    for (int i = 0; i < 3; ++i) {
        std::wstring key = std::wstring(sim::kKeyCandidate) + static_cast<wchar_t>(L'1' + i);
        WriteText(candidates[i], kCandidate, ReadValue(key), unterminated);
    }
    return std::atoi(ReadValue(sim::kKeyResult).c_str());
}
