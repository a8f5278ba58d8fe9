// CDialog: a modal dialog built from a template resource, with its own modal loop so that
// PreTranslateMessage sees every message before the dialog manager does.
#pragma once

#include "Wnd.h"

#include <vector>

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Creates the dialog, runs it until EndDialog is called and destroys it. Returns the code
    // given to EndDialog, or -1 when the dialog could not be created.
    virtual INT_PTR DoModal();
    // Ends the modal loop with code (callable from OnInitDialog, message handlers or timers).
    void EndDialog(int code);

    // Module whose resources hold the templates, bitmaps and icons (the program by default).
    static void SetResourceModule(HINSTANCE module);
    static HINSTANCE ResourceModule();

    CWnd* m_pParentWnd; // owner of the dialog while it runs, or nullptr

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnDestroy() {}
    // Called for every message of the dialog and its controls before the dialog manager;
    // return TRUE to swallow the message. By default it swallows the keys KeepKeys names.
    virtual BOOL PreTranslateMessage(MSG* message);
    // Binds the dialog's control objects to their controls (called by OnInitDialog).
    virtual void DoDataExchange() {}
    void DDX_Control(int id, CWnd& control);

    // The dialog's message handler. Return TRUE when the message was handled, with the answer
    // in result; FALSE gives the dialog manager's default handling. Overrides call the base
    // for what they do not handle.
    virtual BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // For a dialog that often ends in its initialisation unseen (making each control is a window
    // of its own, about a millisecond each under Wine): its window is made without the controls
    // of its template, and CreateControls makes them once the dialog is going to be used. Call
    // it before DoModal, in the constructor. A template whose controls carry creation data is
    // made whole as usual.
    void DeferControls() { m_bDeferControls = TRUE; }
    // Makes the deferred controls now, as the dialog manager makes them (in the template's order,
    // with its ids, texts, styles, positions and the dialog's font), then binds them to their
    // objects (DoDataExchange). TRUE when the controls exist: at once when they were made with
    // the window or earlier. Call it in OnInitDialog before anything that uses the controls.
    BOOL CreateControls();

    // Keeps the dialog hidden after initialisation even if its template says visible.
    void StayHidden() { m_bStayHidden = TRUE; }

    // Options of the skinned dialogs, set in the constructor. The keys that must neither close
    // the dialog nor press its buttons, taken before the dialog manager sees them (the default
    // PreTranslateMessage): Enter and Escape, Space too, and each of them also with Alt held.
    enum KeptKeys : unsigned { kKeepEnterAndEscape = 1, kKeepSpace = 2, kKeepWithAlt = 4 };
    void KeepKeys(unsigned keys) { m_keptKeys = keys; }
    // A press anywhere on the body drags the window, as its caption would (they have none).
    void DragByBody() { m_bDragByBody = TRUE; }
    BOOL IsModalLoopRunning() const { return m_bContinueModal; }

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    BOOL ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void RunModalLoop();
    static bool CanMakeControlsLater(const std::vector<BYTE>& dialogTemplate);

    UINT m_nTemplateId;
    volatile BOOL m_bContinueModal = FALSE;
    int m_nModalResult = -1;
    BOOL m_bStayHidden = FALSE;
    BOOL m_bDeferControls = FALSE;
    unsigned m_keptKeys = 0;
    BOOL m_bDragByBody = FALSE;
    std::vector<BYTE> m_controlsTemplate; // the whole template while its controls are deferred
};
