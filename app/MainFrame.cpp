#include "app/MainFrame.h"

#include "app/KaviloApp.h"
#include "app/KaviloDoc.h"
#include "app/SnapshotFindDialog.h"
#include "framework/MessageBox.h"
#include "framework/Profile.h"
#include "capture/ClipboardOwner.h"
#include "res/find_resource.h"
#include "res/replay_resource.h"
#include "res/resource.h"
#include "res/watch_resource.h"

#include <commctrl.h>

#include <algorithm>

const fw::CRuntimeClass CMainFrame::classCMainFrame = {"CMainFrame", &fw::Window::classWindow};

namespace {

constexpr UINT kToolBarId = 0xE800;    // the framework's toolbar ID
constexpr UINT kFirstPaneId = 0xE900;  // the splitter and its first pane
constexpr UINT kSecondPaneId = 0xE901;
constexpr UINT_PTR kWatchTimer = 360;

// The commands that start a long operation; refused while one runs.
constexpr UINT kLongOperationCommands[] = {ID_EDIT_PASTE, ID_EDIT_PASTE_SPECIAL, ID_EDIT_REPLAY, ID_FILE_OPEN,
                                           ID_FILE_SAVE_AS};

}  // namespace

bool CMainFrame::Create(CKaviloDoc* document)
{
    m_document = document;
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    fw::UniqueMenu menu(::LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME)));
    HICON icon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    if (!fw::Window::Create(L"OrvettaMainFrame", L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu.Get(), CS_DBLCLKS, icon))
        return false;
    menu.Release();  // the window's menu from here on, destroyed with it
    document->AddView(&m_leftView);
    document->AddView(&m_kaviloView);
    document->SetTitleListener([this] { UpdateTitle(); });
    document->SetBusyListener([this](bool busy) { OnBusyChanged(busy); });
    UpdateTitle();
    m_leftView.OnInitialUpdate();
    m_kaviloView.OnInitialUpdate();
    return true;
}

void CMainFrame::OnBusyChanged(bool busy)
{
    for (UINT id : kLongOperationCommands)
        ::SendMessageW(m_toolBar.GetSafeHwnd(), TB_ENABLEBUTTON, id, MAKELPARAM(busy ? FALSE : TRUE, 0));
}

void CMainFrame::UpdateTitle()
{
    if (!m_hwnd) return;
    std::wstring title = m_document && !m_document->GetTitle().empty() ? m_document->GetTitle() : L"無題";
    // A snapshot opened from or saved to a file is named by the file.
    if (m_document && !m_document->GetPathName().empty()) {
        const std::wstring& path = m_document->GetPathName();
        title = path.substr(path.find_last_of(L"\\/") + 1);
    }
    ::SetWindowTextW(m_hwnd, (title + L" - " + fw::GetAppName()).c_str());
}

fw::View* CMainFrame::GetActiveView() const
{
    HWND focus = ::GetFocus();
    HWND right = m_kaviloView.GetSafeHwnd();
    HWND left = m_leftView.GetSafeHwnd();
    if (focus && right && (focus == right || ::IsChild(right, focus)))
        m_activeView = const_cast<CKaviloView*>(&m_kaviloView);
    else if (focus && left && focus == left)
        m_activeView = const_cast<CLeftView*>(&m_leftView);
    if (!m_activeView && left) m_activeView = const_cast<CLeftView*>(&m_leftView);
    return m_activeView;
}

bool CMainFrame::RestoreFocus()
{
    if (!m_lastFocus || !::IsWindow(m_lastFocus) || !::IsChild(m_hwnd, m_lastFocus) ||
        !::IsWindowVisible(m_lastFocus) || !::IsWindowEnabled(m_lastFocus))
        return false;
    ::SetFocus(m_lastFocus);
    return true;
}

bool CMainFrame::OnCreate()
{
    if (!m_toolBar.Create(m_hwnd, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CCS_TOP, kToolBarId) ||
        !m_toolBar.LoadToolBar(IDR_MAINFRAME))
        return false;
    m_toolBar.AddCheckButton(ID_EDIT_WATCH, IDB_WATCH);
    m_allFormatsArea.Create(m_toolBar.GetSafeHwnd(), kAllFormatsAreaId, RGB(255, 252, 244),
                            L"ここにドロップ\r\n(全形式)\r\n▼", false);
    m_chooseFormatArea.Create(m_toolBar.GetSafeHwnd(), kChooseFormatAreaId, RGB(244, 255, 252),
                              L"ここにドロップ\r\n(形式を指定)\r\n▼", true);
    for (int i = 0; i < m_toolBar.GetCount(); ++i) {
        if (m_toolBar.GetItemID(i) != 0) continue;
        m_toolBar.SetSeparatorWidth(i, 200);
        const RECT r = m_toolBar.GetItemRect(i);
        ::MoveWindow(m_allFormatsArea.GetSafeHwnd(), r.left, r.top, 100, r.bottom - r.top, TRUE);
        ::MoveWindow(m_chooseFormatArea.GetSafeHwnd(), r.left + 100, r.top, r.right - r.left - 100, r.bottom - r.top,
                     TRUE);
        ::ShowWindow(m_allFormatsArea.GetSafeHwnd(), SW_SHOW);
        ::ShowWindow(m_chooseFormatArea.GetSafeHwnd(), SW_SHOW);
    }
    return OnCreateClient();
}

bool CMainFrame::OnCreateClient()
{
    if (!m_splitter.Create(m_hwnd, kFirstPaneId)) return false;
    int width = fw::GetProfileInt(L"Frame", L"LeftPaneWidth", -1);
    if (width <= 0) width = 200;
    if (!m_leftView.Create(m_splitter.GetSafeHwnd(), kFirstPaneId) ||
        !m_kaviloView.Create(m_splitter.GetSafeHwnd(), kSecondPaneId)) {
        m_splitter.DestroyWindow();
        return false;
    }
    m_splitter.SetPanes(m_leftView.GetSafeHwnd(), m_kaviloView.GetSafeHwnd());
    m_splitter.SetColumnWidth(width);
    return true;
}

void CMainFrame::RecalcLayout()
{
    RECT client;
    ::GetClientRect(m_hwnd, &client);
    int top = 0;
    if (m_toolBar.GetSafeHwnd()) {
        ::SendMessageW(m_toolBar.GetSafeHwnd(), TB_AUTOSIZE, 0, 0);
        top = m_toolBar.GetHeight();
    }
    if (m_splitter.GetSafeHwnd())
        ::MoveWindow(m_splitter.GetSafeHwnd(), 0, top, client.right, std::max<LONG>(0, client.bottom - top), TRUE);
}

void CMainFrame::SaveWindowState()
{
    if (!::IsWindowVisible(m_hwnd)) return;
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (!::GetWindowPlacement(m_hwnd, &placement)) return;
    int iconic = 0, maximized = 0;
    if (placement.showCmd == SW_SHOWMAXIMIZED) {
        maximized = 1;
    } else if (placement.showCmd == SW_SHOWMINIMIZED) {
        iconic = 1;
        // Other flags (WPF_SETMINPOSITION) say nothing about the restored state.
        maximized = (placement.flags & WPF_RESTORETOMAXIMIZED) != 0 ? 1 : 0;
    }
    const RECT& r = placement.rcNormalPosition;
    fw::WriteProfileInt(L"Frame", L"Left", r.left);
    fw::WriteProfileInt(L"Frame", L"Top", r.top);
    fw::WriteProfileInt(L"Frame", L"Right", r.right);
    fw::WriteProfileInt(L"Frame", L"Bottom", r.bottom);
    fw::WriteProfileInt(L"Frame", L"Iconic", iconic);
    fw::WriteProfileInt(L"Frame", L"Maximized", maximized);
    // The width the user saw: a window narrower than the set width shows less of the tree.
    int leftWidth = m_splitter.GetColumnWidth();
    RECT pane;
    if (HWND left = m_splitter.GetPane(0); left && ::GetWindowRect(left, &pane)) leftWidth = pane.right - pane.left;
    fw::WriteProfileInt(L"Frame", L"LeftPaneWidth", leftWidth);
    fw::WriteProfileInt(L"Frame", L"Initialized", 1);
    fw::Window* right = fw::Window::FromHandle(m_splitter.GetPane(1));
    if (right && right->IsKindOf(&CKaviloView::classCKaviloView)) {
        const auto widths = static_cast<CKaviloView*>(right)->GetPropertyPage().GetColumnWidths();
        fw::WriteProfileInt(L"Frame", L"PropCol0", widths.first);
        fw::WriteProfileInt(L"Frame", L"PropCol1", widths.second);
    }
}

void CMainFrame::SetWatching(bool watching)
{
    if (watching == m_watching || !m_hwnd) return;
    if (watching && !::AddClipboardFormatListener(m_hwnd)) {
        fw::AfxMessageBox(L"クリップボードを監視できません。");
        watching = false;
    } else if (!watching) {
        ::RemoveClipboardFormatListener(m_hwnd);
        ::KillTimer(m_hwnd, kWatchTimer);
        m_pacer = CWatchPacer();
    }
    m_watching = watching;
    if (m_document) m_document->SetWatching(watching);
    ::CheckMenuItem(::GetMenu(m_hwnd), ID_EDIT_WATCH, MF_BYCOMMAND | (watching ? MF_CHECKED : MF_UNCHECKED));
    m_toolBar.SetChecked(ID_EDIT_WATCH, watching);
}

void CMainFrame::OnClipboardUpdate()
{
    if (!m_watching) return;
    m_pacer.Changed(::GetTickCount64());
    ScheduleWatch(m_pacer.Wait(::GetTickCount64()));
}

void CMainFrame::ScheduleWatch(uint64_t delay)
{
    if (delay == UINT64_MAX) return;
    ::SetTimer(m_hwnd, kWatchTimer, static_cast<UINT>(std::clamp<uint64_t>(delay, USER_TIMER_MINIMUM, 1000)), nullptr);
}

void CMainFrame::OnWatchTimer()
{
    ::KillTimer(m_hwnd, kWatchTimer);
    if (!m_watching || !m_document || !m_pacer.Pending()) return;
    // A capture is running (the watch's own or the user's): the next one follows it.
    if (m_document->IsBusy() || !::IsWindowEnabled(m_hwnd)) {
        ScheduleWatch(100);
        return;
    }
    const uint64_t now = ::GetTickCount64();
    if (!m_pacer.Due(now)) {
        ScheduleWatch(m_pacer.Wait(now));
        return;
    }
    // Never a snapshot of the program's own replay: it is what the tree shows already.
    const fw::ComPtr<CReplayDataObject>& replay = m_document->GetClipboardReplay();
    if (replay && ::OleIsCurrentClipboard(replay.Get()) == S_OK) {
        m_pacer.Drop();
        return;
    }
    m_pacer.Start(now);
    m_document->CaptureForWatch(fw::GetProfileInt(L"Settings", L"WatchListOnly", 0) != 0);
    m_pacer.Finished(::GetTickCount64());
    // Changes during the capture are taken by the next one.
    if (m_pacer.Pending()) ScheduleWatch(m_pacer.Wait(::GetTickCount64()));
}

void CMainFrame::OnSetDefaultView()
{
    fw::Window* right = fw::Window::FromHandle(m_splitter.GetPane(1));
    if (!right || !right->IsKindOf(&CKaviloView::classCKaviloView)) return;
    if (CKaviloPropertyPage* page = static_cast<CKaviloView*>(right)->GetActivePage()) page->SaveAsDefaultView();
}

void CMainFrame::OnFindInSnapshot()
{
    if (!m_document || !m_document->GetSnapshot()) return;
    CSnapshotFindDialog dialog(m_document->GetSnapshot());
    if (dialog.DoModal(m_hwnd) == IDOK && dialog.GetChosen()) ShowFindHit(*dialog.GetChosen());
}

bool CMainFrame::ShowFindHit(const SnapshotFindHit& hit)
{
    if (hit.path.empty() || !m_leftView.SelectEntry(hit.path.back())) return false;
    return m_kaviloView.ShowHexSelection(hit.offset, hit.length);
}

std::function<bool(const CCBData*, uint64_t, uint64_t)> CMainFrame::ShowEntryInHex()
{
    return [this](const CCBData* entry, uint64_t offset, uint64_t length) {
        return m_leftView.SelectEntry(entry) && m_kaviloView.ShowHexSelection(offset, length);
    };
}

bool CMainFrame::RouteCommand(UINT id)
{
    // The frame, then the document, then the application.
    switch (id) {
        case ID_SET_DEFAULT_VIEW:
            OnSetDefaultView();
            return true;
        case ID_EDIT_FIND_IN_SNAPSHOT:
            OnFindInSnapshot();
            return true;
        case ID_NEXT_PANE:
        case ID_PREV_PANE:
            m_splitter.ActivateNextPane(id == ID_PREV_PANE);
            return true;
        case ID_EDIT_PASTE:
            if (m_document) m_document->OnEditPaste();
            return true;
        case ID_EDIT_PASTE_SPECIAL:
            if (m_document) m_document->OnEditPasteSpecial();
            return true;
        case ID_EDIT_REPLAY:
            if (m_document && m_leftView.GetSelectedKept() >= 0) {
                m_document->OnEditReplayKept(static_cast<size_t>(m_leftView.GetSelectedKept()));
            } else if (m_document) {
                m_document->OnEditReplay(m_leftView.GetSelectedEntry());
            }
            return true;
        case ID_EDIT_WATCH:
            SetWatching(!m_watching);
            return true;
        case ID_EDIT_COMPARE:
            // The snapshot of the selected root or entry is A.
            if (m_document) m_document->OnEditCompare(m_leftView.GetSelectedItemsKept(), ShowEntryInHex());
            return true;
        case ID_EDIT_COMPARE_FILE:
            if (m_document) m_document->OnEditCompareFile(m_leftView.GetSelectedItemsKept(), ShowEntryInHex());
            return true;
        case ID_EDIT_REMOVE_SNAPSHOT:
            // The earlier snapshot of the selected root or entry; the current one stays.
            if (m_document && m_leftView.GetSelectedItemsKept() >= 0)
                m_document->RemoveKeptSnapshot(static_cast<size_t>(m_leftView.GetSelectedItemsKept()));
            return true;
        case ID_FILE_OPEN:
            if (m_document) m_document->OnFileOpen();
            return true;
        case ID_FILE_SAVE_AS:
            // An entry of an earlier snapshot saves that snapshot, as 比較 takes it for A.
            if (m_document) m_document->OnFileSaveAs(m_leftView.GetSelectedItemsKept());
            return true;
        default:
            break;
    }
    if (auto* app = CKaviloApp::Get()) return app->OnCommand(id);
    return false;
}

LRESULT CMainFrame::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
        case WM_CREATE:
            return OnCreate() ? 0 : -1;
        case WM_SIZE:
            // A minimised window keeps its panes as the user last saw them: laid out in an
            // empty client area, the tree's width would read (and be saved) as 0.
            if (wParam != SIZE_MINIMIZED && !::IsIconic(m_hwnd)) RecalcLayout();
            return 0;
        case WM_SYSCOLORCHANGE:
            // Only top-level windows are told; the controls that paint in system colours
            // (hex view, text page, common controls) are among the descendants.
            ::EnumChildWindows(
                m_hwnd,
                [](HWND child, LPARAM) {
                    ::SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
                    return TRUE;
                },
                0);
            return DefaultProc(msg, wParam, lParam);
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                // Still the focus of this window: remembered for its return.
                HWND focus = ::GetFocus();
                if (focus && ::IsChild(m_hwnd, focus)) m_lastFocus = focus;
                GetActiveView();
                return 0;
            }
            if (!HIWORD(wParam) && RestoreFocus()) return 0;
            return DefaultProc(msg, wParam, lParam);
        case WM_SETFOCUS:
            if (!RestoreFocus()) {
                if (fw::View* view = GetActiveView()) ::SetFocus(view->GetSafeHwnd());
            }
            return 0;
        case WM_COMMAND:
            if (lParam == 0 || HIWORD(wParam) == BN_CLICKED) {
                if (RouteCommand(LOWORD(wParam))) return 0;
            }
            return DefaultProc(msg, wParam, lParam);
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (ReflectNotify(lParam, result)) return result;
            return DefaultProc(msg, wParam, lParam);
        }
        case WM_QUERYENDSESSION:
            if (m_document) m_document->StopCapture();
            SaveWindowState();
            return TRUE;
        case WM_ENDSESSION:
            // The process ends after this message: clean up as an orderly exit does. A long
            // operation whose pump brought the message here is stopped and ends first: the
            // snapshot it fills and the files it writes go only after it.
            if (wParam) {
                SaveWindowState();
                fw::SetSessionEnding(true);
                auto cleanUp = [] {
                    if (auto* app = CKaviloApp::Get()) app->OnEndSession();
                };
                if (m_document) {
                    m_document->StopCapture();
                    m_document->RunWhenIdle(cleanUp);
                } else {
                    cleanUp();
                }
            }
            return 0;
        case WM_INITMENUPOPUP:
            for (UINT id : kLongOperationCommands) {
                const UINT state = m_document && m_document->IsBusy() ? MF_GRAYED : MF_ENABLED;
                ::EnableMenuItem(reinterpret_cast<HMENU>(wParam), id, MF_BYCOMMAND | state);
            }
            return DefaultProc(msg, wParam, lParam);
        case WM_CLOSE:
            // During a long operation the frame must stay: the operation is stopped and closes it after.
            if (m_document && m_document->StopCapture(/*thenClose=*/true)) return 0;
            SaveWindowState();
            ::DestroyWindow(m_hwnd);
            return 0;
        case WM_CLIPBOARDUPDATE:
            OnClipboardUpdate();
            return 0;
        case WM_TIMER:
            if (wParam == kWatchTimer) {
                OnWatchTimer();
                return 0;
            }
            return DefaultProc(msg, wParam, lParam);
        case WM_DESTROY:
            SetWatching(false);
            if (m_document) m_document->SetTitleListener(nullptr);
            ::PostQuitMessage(0);
            return 0;
        default:
            return DefaultProc(msg, wParam, lParam);
    }
}
