#include "StatusText.h"

#include "core/WorkerMessages.h"
#include "run/ResDefineCommand.h"
#include "res/resource.h"

namespace plug {

namespace {

// The text of key (STR_STRING_STATUS_TOP_STRING_1_0 or _3_0) for the device's kit type. With
// the Japanese language file the connection manager has texts of its own (key + "_CM"); when
// blankFallback is set, a blank one gives way to the common text.
std::wstring KitVariant(const std::wstring& key, const StatusState& state, const LanguageLookup& lookup,
                        bool blankFallback)
{
    switch (state.kitType) {
    case ITKTYPE_VTP:
        return lookup(key + L"_0");
    case ITKTYPE_NorvoITK:
        return WithProductName(lookup(key), ITKTYPE_NorvoITK);
    case TYPE_CM_DCM:
        if (state.japaneseLanguage) {
            std::wstring own = lookup(key + L"_CM");
            const bool givesWay = blankFallback && IsBlankText(own);
            if (!givesWay)
                return own;
        }
        return WithProductName(lookup(key), TYPE_CM_DCM);
    default: // the PC suite: the text names it already
        return lookup(key);
    }
}

} // namespace

std::wstring ChooseStatusText(const StatusState& state, const LanguageLookup& lookup)
{
    const std::wstring installing = L"STR_STRING_STATUS_TOP_STRING_1_0";
    if (!state.autoRunStarted || state.installingSVC)
        return lookup(L"STR_STRING_INITDLG_STRING");
    if (state.installingDrv)
        return lookup(L"STR_STRING_STATUS_TOP_STRING_2_0");
    if (state.installingITK)
        return KitVariant(installing, state, lookup, true);
    if (state.launchingITK)
        return KitVariant(L"STR_STRING_STATUS_TOP_STRING_3_0", state, lookup, true);
    return KitVariant(installing, state, lookup, false);
}

StatusLayout ChooseStatusLayout(int widthInStatusFont, int widthInSmallFont)
{
    StatusLayout layout;
    if (widthInStatusFont > kStatusTextWidth) {
        layout.smallFont = true;
        layout.twoLines = widthInSmallFont > kStatusTextWidth;
    }
    return layout;
}

int NextAnimationFrame(int frame)
{
    if (frame > 6)
        frame = -1;
    return frame + 1;
}

unsigned AnimationFrameBitmap(int frame)
{
    static const unsigned kBitmaps[] = {IDB_ANIM_0, IDB_ANIM_1, IDB_ANIM_2, IDB_ANIM_3,
                                        IDB_ANIM_4, IDB_ANIM_5, IDB_ANIM_6};
    if (frame >= 1 && frame <= 6)
        return kBitmaps[frame];
    return IDB_ANIM_0; // frames 0, 7 and the -1 before the first
}

} // namespace plug
