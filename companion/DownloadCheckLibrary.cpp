#include "DownloadCheckLibrary.h"

#include "framework/Handle.h"
#include "framework/ProcessStart.h"
#include "framework/StringFormat.h"

#include <cstring>

namespace plug {

namespace {

// The export: the callee removes the twelve pointer arguments; non-zero is success.
using CheckPSLVDLProc = int(WINAPI*)(char*, char*, char*, char*, char*, char*, char*, char*, char*, char*, char*,
                                     char*);

const size_t kShortBufferSize = 20;
const size_t kVersionBytes = 19;

// The caller's zeroed buffers, in the order of the arguments.
struct CheckBuffers {
    char identity[kShortBufferSize] = {};
    char inputs[5][250] = {};
    char resultText[kDownloadResultTextSize] = {};
    char candidates[kDownloadCandidateCount][kDownloadCandidateSize] = {};
    char flag[kShortBufferSize] = {};
    char version[kShortBufferSize] = {};
};

void ShellOpen(const std::wstring& address) { LaunchProgram(address, std::wstring()); }

AddressOpener g_opener = &ShellOpen;

} // namespace

DownloadCheckAnswer CallDownloadCheck(const std::wstring& versionText)
{
    DownloadCheckAnswer answer;
    UniqueModule library(::LoadLibraryW(L"NorvoPsLvDlChk.dll"));
    if (!library)
        return answer;
    auto check = reinterpret_cast<CheckPSLVDLProc>(
        reinterpret_cast<void*>(::GetProcAddress(library.Get(), "CheckPSLVDL")));
    if (!check)
        return answer;
    answer.loaded = true;

    CheckBuffers buffers;
    std::memcpy(buffers.flag, "TRUE", 4);
    std::string version = WideToAnsi(versionText);
    std::memcpy(buffers.version, version.data(), version.size() < kVersionBytes ? version.size() : kVersionBytes);
    int result = check(buffers.identity, buffers.inputs[0], buffers.inputs[1], buffers.inputs[2], buffers.inputs[3],
                       buffers.inputs[4], buffers.resultText, buffers.candidates[0], buffers.candidates[1],
                       buffers.candidates[2], buffers.flag, buffers.version);
    answer.succeeded = result != 0;
    answer.resultText = AnsiToWide(TextInBuffer(buffers.resultText, sizeof(buffers.resultText)));
    for (size_t i = 0; i < kDownloadCandidateCount; ++i)
        answer.candidates[i] = AnsiToWide(TextInBuffer(buffers.candidates[i], kDownloadCandidateSize));
    return answer;
}

void OpenDownloadAddress(const std::wstring& address) { g_opener(address); }

AddressOpener SetDownloadAddressOpener(AddressOpener opener)
{
    AddressOpener previous = g_opener;
    g_opener = opener ? opener : &ShellOpen;
    return previous;
}

} // namespace plug
