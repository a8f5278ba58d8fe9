// The answer of the PC-suite download-check library: what it means for the user. The library is
// outside the program; its buffers are outside data. Portable: no Windows headers.
#pragma once

#include <cstddef>
#include <string>

namespace plug {

// Sizes of the library's text buffers (single-byte, ANSI code page).
constexpr size_t kDownloadResultTextSize = 200;
constexpr size_t kDownloadCandidateSize = 250;
constexpr size_t kDownloadCandidateCount = 3;

// The text in buffer: up to its first zero byte, or all size bytes when the library left none.
std::string TextInBuffer(const char* buffer, size_t size);

struct DownloadCheckVerdict {
    const wchar_t* messageKey = nullptr; // language key of the information to show; nullptr: none
    std::wstring address;                // the download address; empty: none
};

// An interactive check's answer: succeeded is the library's result, resultText and candidates
// its texts (already converted to wide strings), downloadPath the configured path on the server.
// On success with "MSG_SUCCESS" the address is the first non-empty candidate, a slash, and the
// path; otherwise the first of the error codes found names the message.
DownloadCheckVerdict InterpretDownloadCheck(bool succeeded, const std::wstring& resultText,
                                            const std::wstring (&candidates)[kDownloadCandidateCount],
                                            const std::wstring& downloadPath);

// Only addresses for the web browser are opened: "http://" or "https://" at the start, in any case.
bool IsWebAddress(const std::wstring& address);

} // namespace plug
