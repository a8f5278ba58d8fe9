// The demo's part of the language sheet (scripts/run.sh --languages): for one language file,
// each dialog state that the demo shows is repainted in full while its texts are measured
// (TextMeasure.h), captured as the window shows it (WindowCapture.h) and written with its
// measures into a folder: NAME.bmp per state and sheet.json for all. Test and demo builds only.
#pragma once

#include "TextMeasure.h"

#include <windows.h>

#include <string>
#include <vector>

namespace sim {

class LanguageSheet {
public:
    // folder: where the pictures and sheet.json go; languageFile: the relative name in use;
    // kitType: the device's kit type, which names the product in the status texts.
    LanguageSheet(const std::wstring& folder, const std::wstring& languageFile, int kitType);

    // Repaints window (a dialog on the screen) with its controls while measuring, and keeps its
    // picture and texts as the state name of dialog ("main", "staging", "guide"), described by
    // state. False when the picture could not be written.
    bool TakeDialog(HWND window, const std::wstring& name, const std::wstring& dialog, const std::wstring& state);

    // Something that went wrong while the dialogs were shown, written with them.
    void AddProblem(const std::wstring& problem) { m_problems.push_back(problem); }

    // Writes sheet.json; false when it cannot.
    bool Write() const;

private:
    struct Taken {
        std::wstring name;
        std::wstring dialog;
        std::wstring state;
        std::wstring picture;
        SIZE size;
        bool captured;
        std::vector<DrawnText> texts;
    };

    // The keys of the language file whose text (with the kit's product name, for the status
    // texts) is text.
    std::vector<std::wstring> KeysOf(const std::wstring& text) const;
    std::string TextJson(const DrawnText& drawn) const;

    std::wstring m_folder;
    std::wstring m_languageFile;
    int m_kitType;
    std::vector<std::wstring> m_keys;
    std::vector<Taken> m_taken;
    std::vector<std::wstring> m_problems;
};

} // namespace sim
