// Where the stand-in download-check library reads its scripted answer and logs its calls (see
// sim/README.md). Tests write the answer before they open the guide dialog.
#pragma once

namespace sim {

// C:\plugstart_sim\download_check.ini, section [answer].
constexpr wchar_t kDownloadCheckProfile[] = L"C:\\plugstart_sim\\download_check.ini";
// One line per call: C:\plugstart_sim\download_check.log.
constexpr wchar_t kDownloadCheckLog[] = L"C:\\plugstart_sim\\download_check.log";

constexpr wchar_t kDownloadSection[] = L"answer";
constexpr wchar_t kKeyResult[] = L"result";             // the int the export returns (default 0)
constexpr wchar_t kKeyResultText[] = L"result_text";    // written into argument 7
constexpr wchar_t kKeyCandidate[] = L"candidate";       // candidate1..candidate3: arguments 8 to 10
constexpr wchar_t kKeyUnterminated[] = L"unterminated"; // 1: each non-empty text fills its whole buffer, no zero

} // namespace sim
