#include "WorkerMessages.h"

#include "config/ConfigText.h"
#include "config/TextReplace.h"
#include "run/ResDefineCommand.h"

namespace plug {

namespace {

const wchar_t kSuiteName[] = L"Norvo PC Suite";

} // namespace

std::wstring WithProductName(const std::wstring& text, int kitType)
{
    const wchar_t* product = nullptr;
    switch (kitType) {
    case ITKTYPE_VTP:
        product = L"Vodafone Mobile Connect via the phone";
        break;
    case ITKTYPE_NorvoITK:
        product = L"Norvo Internet Kit";
        break;
    case TYPE_CM_DCM:
        product = L"Norvo Connection Manager";
        break;
    default:
        return text;
    }
    return ReplaceAll(text, kSuiteName, product);
}

bool IsJapaneseLanguageFile(const std::wstring& languageFile)
{
    return languageFile.find(L"tools\\lang_AutoRun_japan.opt") != std::wstring::npos;
}

bool IsBlankText(const std::wstring& text) { return text.find_first_not_of(L' ') == std::wstring::npos; }

std::wstring KitNotInstalledText(int kitType, bool japaneseLanguage, const std::wstring& notInstall,
                                 const std::wstring& notInstallCm)
{
    if (kitType == TYPE_CM_DCM && japaneseLanguage)
        return IsBlankText(notInstallCm) ? notInstall : notInstallCm;
    return WithProductName(notInstall, kitType);
}

std::wstring ScsiFailureKey(int result, bool reportedByService, bool modeChange)
{
    if (result > FAIL_TO_FIND_DRIVE || result < FAIL_TO_SEND_SCSI_CMD)
        return std::wstring();
    int row = -result - 1 + (reportedByService ? 4 : 0); // -1, -2, -3 give 0, 1, 2 (or 4, 5, 6)
    return L"STR_STRING_ERROR_SCSI_" + DecimalText(row) + (modeChange ? L"_1" : L"_0");
}

} // namespace plug
