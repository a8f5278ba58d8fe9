// Where the stand-in download-check library reads its scripted answer and logs its calls (see
// sim/README.md). Tests write the answer before they open the guide dialog.
#pragma once

#include "SimFiles.h"

#include <string>

namespace sim {

// download_check.ini in the state folder, section [answer].
inline const std::wstring kDownloadCheckProfile = std::wstring(kStateFolder) + L"download_check.ini";
// One line per call: download_check.log in the state folder.
inline const std::wstring kDownloadCheckLog = std::wstring(kStateFolder) + L"download_check.log";

constexpr wchar_t kDownloadSection[] = L"answer";
constexpr wchar_t kKeyResult[] = L"result";             // the int the export returns (default 0)
constexpr wchar_t kKeyResultText[] = L"result_text";    // written into argument 7
constexpr wchar_t kKeyCandidate[] = L"candidate";       // candidate1..candidate3: arguments 8 to 10
constexpr wchar_t kKeyUnterminated[] = L"unterminated"; // 1: each non-empty text fills its whole buffer, no zero

} // namespace sim
