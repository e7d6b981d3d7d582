#include "app/KaviloApp.h"

#include "app/ViewerProgressWindow.h"

#include "app/AboutDlg.h"
#include "app/KaviloView.h"
#include "app/SettingDialog.h"
#include "capture/CaptureSettings.h"
#include "capture/FormatCatalogue.h"
#include "capture/GdiplusInclude.h"
#include "capture/RegisteredFormats.h"
#include "capture/TempStore.h"
#include "framework/ExceptionBarrier.h"
#include "framework/MessageBox.h"
#include "framework/Profile.h"
#include "res/resource.h"
#include "viewers/HexViewDialog.h"
#include "viewers/ImageViewDialog.h"
#include "viewers/StructureViewDialog.h"
#include "viewers/TextViewDialog.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shobjidl.h>
#include <windowsx.h>

namespace {

CKaviloApp* g_kaviloApp = nullptr;

std::wstring LoadResourceString(UINT id)
{
    const wchar_t* text = nullptr;
    // A buffer size of 0 returns a read-only pointer into the resource itself.
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, length) : std::wstring();
}

}  // namespace

CKaviloApp::CKaviloApp()
{
    g_kaviloApp = this;
    // Without a version in the identity, the taskbar groups every version of the program together.
    ::SetCurrentProcessExplicitAppUserModelID(L"Kavilo.AppID.NoVersion");
}

CKaviloApp::~CKaviloApp()
{
    if (!m_exited) ExitInstance();
    m_wicFactory.Reset();
    if (m_gdiplusStarted) Gdiplus::GdiplusShutdown(m_gdiplusToken);
    if (g_kaviloApp == this) g_kaviloApp = nullptr;
}

CKaviloApp* CKaviloApp::Get()
{
    return g_kaviloApp;
}

void CKaviloApp::PublishCaptureSettings()
{
    CaptureSettings().m_subDirSizeLimit = m_subDirSizeLimit;
    CaptureSettings().m_howToGetShellIDList = m_howToGetShellIDList;
    CaptureSettings().m_wicFactory = m_wicFactory.Get();
}

bool CKaviloApp::InitInstance()
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, 0xFF};
    ::InitCommonControlsEx(&icc);
    Gdiplus::GdiplusStartupInput gdiplusInput;
    if (Gdiplus::GdiplusStartup(&m_gdiplusToken, &gdiplusInput, nullptr) == Gdiplus::Ok) m_gdiplusStarted = true;

    const std::wstring appName = LoadResourceString(IDS_APP_NAME);
    fw::SetAppName(appName.empty() ? L"Orvetta" : appName);
    // Out of memory caught where a window, dialog or drop message entered the program.
    fw::SetOutOfMemoryReporter([] { fw::AfxMessageBox(L"メモリ不足です。"); });
    RegisterKnownFormats();
    if (FAILED(::OleInitialize(nullptr))) {
        fw::AfxMessageBox(LoadResourceString(IDP_OLE_INIT_FAILED));
        return false;
    }
    m_oleStarted = true;
    // Without the factory, stored image files simply give no picture.
    ::CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&m_wicFactory));

    fw::SetRegistryKey(L"Orvetta");
    m_subDirSizeLimit = fw::GetProfileInt(L"Settings", L"SubDirSizeLimit", 128);
    m_howToGetShellIDList = fw::GetProfileInt(L"Settings", L"HowToGetShellIDList", 0);
    PublishCaptureSettings();

    if (!SetUpTempStore(TheTempStore(), fw::GetProfileString(L"Settings", L"TemporaryFolder", L""))) return false;

    CViewerProgressWindow::Install();
    CKaviloView::SetPageFactory(ViewTab_Hex, [](CCBData* entry) { return std::make_shared<CHexViewDialog>(entry); });
    CKaviloView::SetPageFactory(ViewTab_Text, &CTextViewDialog::CreateForEntry);
    CKaviloView::SetPageFactory(ViewTab_Image,
                                [](CCBData* entry) { return std::make_shared<CImageViewDialog>(entry); });
    CKaviloView::SetPageFactory(ViewTab_Structure, &CStructureViewDialog::CreateForEntry);
    m_document = std::make_unique<CKaviloDoc>();
    m_frame = std::make_unique<CMainFrame>();
    if (!m_frame->Create(m_document.get())) return false;
    fw::SetMainWindow(m_frame->GetSafeHwnd());
    SetAccelerators(::LoadAcceleratorsW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)),
                    m_frame->GetSafeHwnd());

    int showCommand = SW_SHOW;
    if (m_frame->m_firstShowing) {
        RestorePlacement(showCommand);
        m_frame->m_firstShowing = false;
    }
    ::ShowWindow(m_frame->GetSafeHwnd(), showCommand);
    ::UpdateWindow(m_frame->GetSafeHwnd());
    OpenFileOfCommandLine();
    return true;
}

void CKaviloApp::OpenFileOfCommandLine()
{
    // "Kavilo.exe FILE" opens a snapshot file, as a file association's open command does.
    int argc = 0;
    std::unique_ptr<LPWSTR, decltype(&::LocalFree)> argv(::CommandLineToArgvW(::GetCommandLineW(), &argc),
                                                         &::LocalFree);
    if (!argv || argc < 2) return;
    const std::wstring file = argv.get()[1];
    if (!file.empty() && file[0] != L'/' && file[0] != L'-') m_document->OpenFile(file);
}

void CKaviloApp::RestorePlacement(int& showCommand)
{
    const int initialized = fw::GetProfileInt(L"Frame", L"Initialized", 0);
    const int left = fw::GetProfileInt(L"Frame", L"Left", -1);
    const int top = fw::GetProfileInt(L"Frame", L"Top", -1);
    const int right = fw::GetProfileInt(L"Frame", L"Right", -1);
    const int bottom = fw::GetProfileInt(L"Frame", L"Bottom", -1);
    fw::GetProfileInt(L"Frame", L"Iconic", 0);  // stored, but a window never starts minimised
    const int maximized = fw::GetProfileInt(L"Frame", L"Maximized", 0);
    fw::GetProfileInt(L"Frame", L"LeftPaneWidth", -1);  // the splitter reads it itself
    if (!initialized) return;
    showCommand = maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    placement.flags = maximized ? WPF_RESTORETOMAXIMIZED : 0;
    placement.showCmd = static_cast<UINT>(showCommand);
    placement.ptMinPosition = {0, 0};
    placement.ptMaxPosition = {-::GetSystemMetrics(SM_CXBORDER), -::GetSystemMetrics(SM_CYBORDER)};
    // Applied as stored, even off every screen.
    placement.rcNormalPosition = {left, top, right, bottom};
    ::SetWindowPlacement(m_frame->GetSafeHwnd(), &placement);
}

int CKaviloApp::ExitInstance()
{
    if (m_exited) return m_exitCode;
    m_exited = true;
    fw::SetSessionEnding(false);  // a later instance of this process shows its boxes again
    // What can be kept of a replay on the clipboard is rendered there before the data goes.
    if (m_document) m_document->FlushReplay();
    // The views and the snapshot (with its files and COM references) go first.
    m_frame.reset();
    m_document.reset();
    fw::SetMainWindow(nullptr);
    m_wicFactory.Reset();
    CaptureSettings().m_wicFactory = nullptr;
    if (m_oleStarted) ::OleUninitialize();
    m_oleStarted = false;
    CTempStore& store = TheTempStore();
    if (store.IsReady()) store.CleanUpTempFolder();
    const int code = fw::App::ExitInstance();
    if (m_deleteSettingsOnExit) fw::DeleteAppRegistryKey();
    return code;
}

void CKaviloApp::OnEndSession()
{
    if (m_document) m_document->ReleaseSnapshot();
    CTempStore& store = TheTempStore();
    if (store.IsReady()) store.CleanUpTempFolder();
}

bool CKaviloApp::PreTranslateMessage(MSG& msg)
{
    // The wheel scrolls the pane under the mouse, not the one with the focus.
    if (msg.message == WM_MOUSEWHEEL && fw::GetMainWindow()) {
        const POINT point = {GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
        if (HWND target = ::WindowFromPoint(point)) {
            ::SendMessageW(target, WM_MOUSEWHEEL, msg.wParam, msg.lParam);
            return true;
        }
    }
    return fw::App::PreTranslateMessage(msg);
}

bool CKaviloApp::OnCommand(UINT id)
{
    switch (id) {
        case ID_APP_ABOUT:
            OnAppAbout();
            return true;
        case ID_DELETE_SETTINGS_AND_EXIT:
            OnDeleteSettingsAndExit();
            return true;
        case ID_SETTINGS:
            OnSettings();
            return true;
        case ID_APP_EXIT:
            if (HWND main = fw::GetMainWindow()) ::PostMessageW(main, WM_CLOSE, 0, 0);
            return true;
        default:
            return false;
    }
}

void CKaviloApp::OnAppAbout()
{
    CAboutDlg about;
    about.DoModal(fw::GetMainWindow());
}

void CKaviloApp::OnDeleteSettingsAndExit()
{
    const int answer = fw::AfxMessageBox(
        L"Orvettaの設定をレジストリから削除して終了します。\r\n\r\nアンインストールする場合はKavilo."
        L"exeファイルを別途削除してください。",
        MB_OKCANCEL);
    if (answer != IDOK) return;
    m_deleteSettingsOnExit = true;
    if (HWND main = fw::GetMainWindow()) ::PostMessageW(main, WM_CLOSE, 0, 0);
}

void CKaviloApp::OnSettings()
{
    CSettingDialog dialog;
    dialog.m_sizeLimit = m_subDirSizeLimit;
    dialog.m_importMode = m_howToGetShellIDList;
    dialog.m_folder = fw::GetProfileString(L"Settings", L"TemporaryFolder", L"");
    dialog.m_keptSnapshots = fw::GetProfileInt(L"Settings", L"KeptSnapshots", 1);
    dialog.m_historyBudget = fw::GetProfileInt(L"Settings", L"HistoryBudgetMB", 1024);
    dialog.m_watchListOnly = fw::GetProfileInt(L"Settings", L"WatchListOnly", 0) != 0;
    if (dialog.DoModal(fw::GetMainWindow()) != IDOK) return;
    // The limit and the mode apply to the next capture; the folder from the next start.
    m_subDirSizeLimit = dialog.m_sizeLimit;
    m_howToGetShellIDList = dialog.m_importMode;
    PublishCaptureSettings();
    fw::WriteProfileInt(L"Settings", L"SubDirSizeLimit", m_subDirSizeLimit);
    fw::WriteProfileInt(L"Settings", L"HowToGetShellIDList", m_howToGetShellIDList);
    fw::WriteProfileString(L"Settings", L"TemporaryFolder", dialog.m_folder);
    // The history's limits apply from the next capture on.
    fw::WriteProfileInt(L"Settings", L"KeptSnapshots", dialog.m_keptSnapshots);
    fw::WriteProfileInt(L"Settings", L"HistoryBudgetMB", dialog.m_historyBudget);
    fw::WriteProfileInt(L"Settings", L"WatchListOnly", dialog.m_watchListOnly ? 1 : 0);
}
