#include "LanguageSheet.h"

#include "WindowCapture.h"
#include "config/Language.h"
#include "config/ModulePath.h"
#include "core/WorkerMessages.h"
#include "framework/Handle.h"
#include "framework/StringFormat.h"

namespace sim {

namespace {

// text as a JSON string (UTF-8).
std::string Json(const std::wstring& text)
{
    std::string json = "\"";
    for (char c : plug::ToUtf8(text)) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned char>(c));
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

std::string Json(bool value) { return value ? "true" : "false"; }

std::string Json(const RECT& rect)
{
    char text[64];
    snprintf(text, sizeof(text), "[%ld, %ld, %ld, %ld]", rect.left, rect.top, rect.right, rect.bottom);
    return text;
}

std::string Json(const std::vector<std::wstring>& texts)
{
    std::string json = "[";
    for (size_t i = 0; i < texts.size(); ++i)
        json += (i ? ", " : "") + Json(texts[i]);
    return json + "]";
}

std::vector<std::wstring> LanguageKeys(const std::wstring& file)
{
    std::vector<wchar_t> buffer(65536);
    DWORD length = ::GetPrivateProfileStringW(L"STRING", nullptr, L"", buffer.data(), static_cast<DWORD>(buffer.size()),
                                              file.c_str());
    std::vector<std::wstring> keys;
    for (const wchar_t* key = buffer.data(); key < buffer.data() + length && *key; key += wcslen(key) + 1)
        keys.push_back(key);
    return keys;
}

bool WriteText(const std::wstring& path, const std::string& text)
{
    plug::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

} // namespace

LanguageSheet::LanguageSheet(const std::wstring& folder, const std::wstring& languageFile, int kitType)
    : m_folder(folder), m_languageFile(languageFile), m_kitType(kitType),
      m_keys(LanguageKeys(plug::GetModuleDirectory() + languageFile))
{
}

bool LanguageSheet::TakeDialog(HWND window, const std::wstring& name, const std::wstring& dialog,
                               const std::wstring& state)
{
    StartMeasuring();
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    StopMeasuring();
    RECT client = {};
    ::GetClientRect(window, &client);
    Taken taken{name, dialog, state, name + L".bmp", SIZE{client.right, client.bottom}, false, MeasuredTexts()};
    taken.captured = CaptureClientArea(window, m_folder + L"\\" + taken.picture);
    m_taken.push_back(taken);
    return taken.captured;
}

std::vector<std::wstring> LanguageSheet::KeysOf(const std::wstring& text) const
{
    std::vector<std::wstring> keys;
    for (const std::wstring& key : m_keys) {
        const std::wstring value = plug::GetLanguageString(key);
        if (value == text || plug::WithProductName(value, m_kitType) == text)
            keys.push_back(key);
    }
    return keys;
}

std::string LanguageSheet::TextJson(const DrawnText& drawn) const
{
    char numbers[160];
    snprintf(numbers, sizeof(numbers),
             "\"control\": %d, \"format\": %u, \"font_height\": %d, \"font_weight\": %d, \"needed\": [%ld, %ld]",
             drawn.control, drawn.format, drawn.fontHeight, drawn.fontWeight, drawn.needed.cx, drawn.needed.cy);
    return "{\"keys\": " + Json(KeysOf(drawn.text)) + ", \"text\": " + Json(drawn.text) +
           ", \"box\": " + Json(drawn.box) + ", \"room\": " + Json(drawn.room) + ", " + numbers +
           ", \"font\": " + Json(drawn.face) + ", \"drawn_font\": " + Json(drawn.drawnFace) +
           ", \"too_wide\": " + Json(drawn.TooWide()) + ", \"too_tall\": " + Json(drawn.TooTall()) +
           ", \"missing_glyphs\": " + Json(drawn.missingGlyphs) + "}";
}

bool LanguageSheet::Write() const
{
    char header[96];
    snprintf(header, sizeof(header), "\"user_language\": \"%04X\", \"kit_type\": %d", ::GetUserDefaultLangID(),
             m_kitType);
    std::string json = "{\"language_file\": " + Json(m_languageFile) + ", " + header +
                       ", \"problems\": " + Json(m_problems) + ",\n \"dialogs\": [";
    for (size_t i = 0; i < m_taken.size(); ++i) {
        const Taken& taken = m_taken[i];
        char size[64];
        snprintf(size, sizeof(size), "\"size\": [%ld, %ld]", taken.size.cx, taken.size.cy);
        json += std::string(i ? ",\n  " : "\n  ") + "{\"name\": " + Json(taken.name) +
                ", \"dialog\": " + Json(taken.dialog) + ", \"state\": " + Json(taken.state) +
                ", \"picture\": " + Json(taken.captured ? taken.picture : std::wstring()) + ", " + size +
                ",\n   \"texts\": [";
        for (size_t t = 0; t < taken.texts.size(); ++t)
            json += std::string(t ? ",\n    " : "\n    ") + TextJson(taken.texts[t]);
        json += "]}";
    }
    json += "]}\n";
    return WriteText(m_folder + L"\\sheet.json", json);
}

} // namespace sim
