#include "TextMeasure.h"

#include "skin/DialogPaint.h"

#include <algorithm>

namespace sim {

namespace {

struct Recorded {
    HWND window;
    DrawnText drawn;
};

std::vector<Recorded> g_recorded;

// rect of window in the client coordinates of top.
RECT InTopWindow(HWND window, HWND top, RECT rect)
{
    ::MapWindowPoints(window, top, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The size text takes in dc's font with format: the box's width holds it when it wraps.
SIZE NeededSize(HDC dc, const std::wstring& text, const RECT& box, UINT format)
{
    RECT needed = {0, 0, box.right - box.left, 0};
    const UINT measure = (format & (DT_WORDBREAK | DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX)) | DT_CALCRECT;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, measure);
    return SIZE{needed.right - needed.left, needed.bottom - needed.top};
}

bool LacksGlyphs(HDC dc, const std::wstring& text)
{
    std::wstring shown;
    for (wchar_t c : text) {
        if (c != L'\r' && c != L'\n')
            shown.push_back(c);
    }
    std::vector<WORD> glyphs(shown.size());
    if (shown.empty())
        return false;
    if (::GetGlyphIndicesW(dc, shown.c_str(), static_cast<int>(shown.size()), glyphs.data(),
                           GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR)
        return false;
    return std::find(glyphs.begin(), glyphs.end(), 0xFFFF) != glyphs.end();
}

void Record(HDC dc, const std::wstring& text, const RECT& box, UINT format)
{
    HWND window = ::WindowFromDC(dc);
    for (const Recorded& earlier : g_recorded) {
        if (earlier.window == window && earlier.drawn.text == text)
            return;
    }
    DrawnText drawn;
    drawn.text = text;
    drawn.format = format;
    drawn.box = box;
    drawn.room = box;
    if (window) {
        RECT client = {};
        ::GetClientRect(window, &client);
        ::IntersectRect(&drawn.room, &box, &client);
        HWND top = ::GetAncestor(window, GA_ROOT);
        if (top != window)
            drawn.control = ::GetDlgCtrlID(window);
        drawn.box = InTopWindow(window, top, drawn.box);
        drawn.room = InTopWindow(window, top, drawn.room);
    }
    LOGFONTW font = {};
    ::GetObjectW(::GetCurrentObject(dc, OBJ_FONT), sizeof(font), &font);
    drawn.face = font.lfFaceName;
    drawn.fontHeight = font.lfHeight;
    drawn.fontWeight = font.lfWeight;
    wchar_t face[LF_FACESIZE] = {};
    ::GetTextFaceW(dc, LF_FACESIZE, face);
    drawn.drawnFace = face;
    drawn.needed = NeededSize(dc, text, box, format);
    drawn.missingGlyphs = LacksGlyphs(dc, text);
    g_recorded.push_back(Recorded{window, drawn});
}

} // namespace

void StartMeasuring()
{
    g_recorded.clear();
    plug::SetTextDrawWatcher(&Record);
}

void StopMeasuring() { plug::SetTextDrawWatcher(nullptr); }

std::vector<DrawnText> MeasuredTexts()
{
    std::vector<DrawnText> texts;
    for (const Recorded& recorded : g_recorded)
        texts.push_back(recorded.drawn);
    return texts;
}

} // namespace sim
