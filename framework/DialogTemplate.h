// A dialog template (DLGTEMPLATE or DLGTEMPLATEEX, as a resource holds it) read as the system's
// dialog manager reads it: the window's style, and the controls it makes for the dialog, so that
// a dialog can make its controls itself later than its window (CDialog::DeferControls).
#pragma once

#include <windows.h>

#include <vector>

namespace plug {

// One control of a template. The texts point into the template, which must outlive them.
struct DialogControl {
    const wchar_t* className = nullptr; // a class name ("Button" for the predefined ordinal 0x80)
    const wchar_t* title = nullptr;     // a text, or 0xFFFF and a resource ordinal as the template holds it
    DWORD style = 0;
    DWORD exStyle = 0;
    DWORD helpId = 0;
    short x = 0; // position and size in dialog units
    short y = 0;
    short cx = 0;
    short cy = 0;
    DWORD id = 0;
    WORD creationDataBytes = 0; // bytes of creation data the template gives the control
};

// The style field of the template; nullptr when it is too short to hold one.
DWORD* DialogTemplateStyle(std::vector<BYTE>& dialogTemplate);

// The controls of an extended template (DLGTEMPLATEEX, the form of every DIALOGEX resource) in
// their order; false for the plain form and when the template is malformed (a field runs past
// its end, a text has no terminator, a class is an unknown ordinal).
bool ReadDialogControls(const std::vector<BYTE>& dialogTemplate, std::vector<DialogControl>& controls);

// Makes the template describe no controls (the dialog manager then makes the window alone).
bool RemoveDialogControls(std::vector<BYTE>& dialogTemplate);

} // namespace plug
