#include "Messages.h"

#include "Language.h"
#include "framework/MessageBoxSeam.h"

namespace plug {

int ShowLanguageMessage(HWND owner, const std::wstring& key, UINT style)
{
    return ShowTitledMessage(owner, GetLanguageString(key), style);
}

int ShowTitledMessage(HWND owner, const std::wstring& text, UINT style)
{
    return ShowMessageBox(owner, text, GetLanguageString(L"STR_STRING_TITLE"), style);
}

} // namespace plug
