// CCDWebInstallerDlg: the guide that tells the user how to get the PC suite, from its CD or by
// download. Its Download button asks the download-check library for the server and opens the
// download address in the browser. When a PC-suite CD is in a drive the dialog ends at once.
#pragma once

#include "framework/Dialog.h"
#include "framework/Handle.h"
#include "skin/SkinButton.h"

#include <string>

class CCDWebInstallerDlg : public CDialog {
public:
    CCDWebInstallerDlg();

    BOOL m_bReady = FALSE; // initialised: the dialog paints its background
    std::wstring m_strDownloadURL;
    plug::UniqueFont m_pCaptionFont;
    plug::UniqueFont m_pHeadingFont;
    plug::UniqueFont m_pBodyFont;
    plug::UniqueFont m_pBodyBoldFont;
    BOOL m_bDownloadAvailable = FALSE; // the silent check at start succeeded
    BOOL m_bCDInclude = TRUE;          // WEB cd_include is "1"
    CSkinButton m_btnDownload;
    CSkinButton m_btnInstallCD; // never shown
    CSkinButton m_btnClose;
    CSkinButton m_btnOK;

protected:
    BOOL OnInitDialog() override;
    // Only OK, the close button and a successful download end the dialog.
    void OnOK() override {}
    void OnCancel() override {}
    void DoDataExchange() override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // The texts over the background, into any DC.
    void Paint(HDC dc) const;

private:
    static bool IsSuiteCdPresent();
    // The check at start, which tells the user nothing: whether the download-check library
    // finds the server for the configured version.
    static bool IsDownloadAvailable(const std::wstring& versionText);
    // The check of the Download button: the download address, or empty after telling the user
    // what went wrong.
    std::wstring AskForDownloadAddress(const std::wstring& versionText);
    void LayOutControls();
    void OnDownload();
    void PaintGuideText(HDC dc) const;

    plug::UniqueBitmap m_background;
};
