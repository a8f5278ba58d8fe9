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
    BOOL PreTranslateMessage(MSG* message) override;
    void DoDataExchange() override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // The texts over the background, into any DC.
    void Paint(HDC dc) const;

private:
    enum class CheckMode { Silent, Interactive };

    static bool IsSuiteCdPresent();
    // Silent: sets m_bDownloadAvailable. Interactive: tells the user what went wrong and returns
    // the download address (empty when there is none).
    std::wstring RunDownloadCheck(const std::wstring& versionText, CheckMode mode);
    void LayOutControls();
    void OnDownload();
    void PaintGuideText(HDC dc) const;

    plug::UniqueBitmap m_background;
};
