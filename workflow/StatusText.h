// The main dialog's status line: which language text it shows for the worker's progress, how
// it is laid out, and the busy animation's frames. Portable: no Windows headers.
#pragma once

#include "MainDialogLayout.h"

#include <functional>
#include <string>

namespace plug {

// The flags the worker writes, the kit type of the device and the language file in use.
struct StatusState {
    bool autoRunStarted = false;
    bool installingSVC = false;
    bool installingDrv = false;
    bool installingITK = false;
    bool launchingITK = false;
    int kitType = 0;
    bool japaneseLanguage = false; // the language file is "tools\lang_AutoRun_japan.opt"
};

using LanguageLookup = std::function<std::wstring(const std::wstring& key)>;

// The status text for state, with the product name adapted to the kit type; lookup gives the
// language file's text of a key.
std::wstring ChooseStatusText(const StatusState& state, const LanguageLookup& lookup);

// Width of the status box; a text wider than this in the bold status font falls back to the
// small font, and one still wider wraps onto a second line.
constexpr int kStatusTextWidth = main_layout::kStatusBox.Width();

struct StatusLayout {
    bool smallFont = false;
    bool twoLines = false;
};

// widthInSmallFont is only read when the text does not fit in the status font.
StatusLayout ChooseStatusLayout(int widthInStatusFont, int widthInSmallFont);

// The busy animation: eight frames 0..7 (-1 before the first); the frame after frame.
int NextAnimationFrame(int frame);
// The bitmap resource a frame shows (frames 0 and 7 show the same picture).
unsigned AnimationFrameBitmap(int frame);

} // namespace plug
