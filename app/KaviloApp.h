// The application object: starts the platform services, reads the settings, sets the
// temporary store up, creates the document and the main window and restores its
// placement; at exit it cleans the store and, when asked to, removes every setting.
// It also handles the application's own commands (about, settings, delete settings).
#pragma once

#include "app/KaviloDoc.h"
#include "app/MainFrame.h"
#include "framework/App.h"
#include "framework/Handles.h"

#include <wincodec.h>

#include <memory>

class CKaviloApp : public fw::App {
public:
    CKaviloApp();
    ~CKaviloApp() override;
    static CKaviloApp* Get();

    bool InitInstance() override;
    int ExitInstance() override;
    bool PreTranslateMessage(MSG& msg) override;
    // Commands 57664, 32791, 32778 and 57665; false for any other.
    bool OnCommand(UINT id);
    // The end of the Windows session: the snapshot's files and the temporary folder go as
    // at an orderly exit (the process is ended right after).
    void OnEndSession();

    CMainFrame* GetMainFrame() const { return m_frame.get(); }
    CKaviloDoc* GetDocument() const { return m_document.get(); }

    bool m_gdiplusStarted = false;
    bool m_deleteSettingsOnExit = false;
    int m_subDirSizeLimit = 128;    // "SubDirSizeLimit", megabytes
    int m_howToGetShellIDList = 0;  // "HowToGetShellIDList"
    fw::ComPtr<IWICImagingFactory2> m_wicFactory;

private:
    void OnAppAbout();
    void OnDeleteSettingsAndExit();
    void OnSettings();
    // The capture reads the settings through its own settings object.
    void PublishCaptureSettings();
    void RestorePlacement(int& showCommand);
    void OpenFileOfCommandLine();

    ULONG_PTR m_gdiplusToken = 0;
    bool m_oleStarted = false;
    bool m_exited = false;
    std::unique_ptr<CKaviloDoc> m_document;
    std::unique_ptr<CMainFrame> m_frame;
};
