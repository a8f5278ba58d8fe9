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

std::wstring ScsiFailureKey(int result, CommandSender sender, VendorCommand command)
{
    int row = 0;
    switch (result) {
    case FAIL_TO_FIND_DRIVE:
        row = 0;
        break;
    case FAIL_TO_OPEN_DRIVE:
        row = 1;
        break;
    case FAIL_TO_SEND_SCSI_CMD:
        row = 2;
        break;
    default:
        return std::wstring();
    }
    if (sender == CommandSender::Service)
        row += 4; // the service's rows follow row 3, "the service cannot be used"
    return L"STR_STRING_ERROR_SCSI_" + DecimalText(row) + (command == VendorCommand::ModeChange ? L"_1" : L"_0");
}

std::wstring PhoneQueryFailureKey(int result)
{
    const VendorCommand query = VendorCommand::PhoneSettingQuery;
    std::wstring key = ScsiFailureKey(result, CommandSender::Program, query);
    return key.empty() ? ScsiFailureKey(FAIL_TO_SEND_SCSI_CMD, CommandSender::Program, query) : key;
}

std::vector<std::wstring> KeysAfterTheModeChange(int kitType, bool mayUseCommandService)
{
    std::vector<std::wstring> keys = {L"STR_STRING_TITLE"};
    for (CommandSender sender : {CommandSender::Program, CommandSender::Service}) {
        if (sender == CommandSender::Service && !mayUseCommandService)
            break;
        for (int result : {FAIL_TO_FIND_DRIVE, FAIL_TO_OPEN_DRIVE, FAIL_TO_SEND_SCSI_CMD})
            keys.push_back(ScsiFailureKey(result, sender, VendorCommand::ModeChange));
    }
    keys.push_back(mayUseCommandService ? L"STR_STRING_ERROR_SCSI_3_1" : L"STR_STRING_NON_ADMIN_NOTI");
    if (kitType == ITKTYPE_VTP || kitType == ITKTYPE_NorvoITK)
        keys.push_back(L"STR_STRING_NOT_FOUND_PCSUITE");
    return keys;
}

} // namespace plug
