// The main window: menu, a toolbar carrying the two drop areas, and a splitter with the
// snapshot tree on the left and the viewer host on the right. Its caption is the
// document's title followed by the application name. It saves its placement, the tree
// pane's width and the property list's column widths when it closes.
#pragma once

#include "app/DropEntranceWnd.h"
#include "app/KaviloView.h"
#include "app/LeftView.h"
#include "app/WatchPacer.h"
#include "framework/Splitter.h"
#include "framework/ToolBar.h"
#include "framework/Window.h"

#include <cstdint>
#include <functional>

class CKaviloDoc;

struct SnapshotFindHit;

class CMainFrame : public fw::Window {
public:
    static const fw::CRuntimeClass classCMainFrame;
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCMainFrame; }

    static constexpr UINT kAllFormatsAreaId = 10000;
    static constexpr UINT kChooseFormatAreaId = 10001;

    // Creates the window (hidden) with its toolbar, drop areas, splitter and views, and
    // gives both views the document.
    bool Create(CKaviloDoc* document);
    // Shows the document's title in the caption.
    void UpdateTitle();

    // The view that last had the focus; the tree until another one took it.
    fw::View* GetActiveView() const;
    CLeftView& GetLeftView() { return m_leftView; }
    CKaviloView& GetKaviloView() { return m_kaviloView; }
    fw::Splitter& GetSplitter() { return m_splitter; }
    fw::ToolBar& GetToolBar() { return m_toolBar; }
    CDropEntranceWnd& GetDropArea(bool chooseFormat) { return chooseFormat ? m_chooseFormatArea : m_allFormatsArea; }

    bool m_firstShowing = true;  // the placement is restored only at the first showing

    // The clipboard watch ("編集 → クリップボードを監視" and its toolbar button).
    bool IsWatching() const { return m_watching; }
    void SetWatching(bool watching);
    const CWatchPacer& GetWatchPacer() const { return m_pacer; }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    bool OnCreate();
    bool OnCreateClient();
    void RecalcLayout();
    void SaveWindowState();
    // Gives the focus back to the control that had it when the window was deactivated.
    bool RestoreFocus();
    void OnSetDefaultView();
    // Disables the toolbar's commands that start a long operation while one runs.
    void OnBusyChanged(bool busy);
    void OnFindInSnapshot();

public:
    // Selects the hit's entry, opens its HEX page and selects the match.
    bool ShowFindHit(const SnapshotFindHit& hit);
    // Selects an entry and selects bytes from an offset in its HEX page, or puts the caret
    // there for length 0 (the comparison's).
    std::function<bool(const CCBData*, uint64_t, uint64_t)> ShowEntryInHex();

private:
    bool RouteCommand(UINT id);
    void OnClipboardUpdate();
    // Takes the watch's snapshot when it is due, else waits for it with the timer.
    void OnWatchTimer();
    void ScheduleWatch(uint64_t delay);

    fw::ToolBar m_toolBar;
    CDropEntranceWnd m_allFormatsArea;
    CDropEntranceWnd m_chooseFormatArea;
    fw::Splitter m_splitter;
    CLeftView m_leftView;
    CKaviloView m_kaviloView;
    CKaviloDoc* m_document = nullptr;
    mutable fw::View* m_activeView = nullptr;
    HWND m_lastFocus = nullptr;
    bool m_watching = false;
    CWatchPacer m_pacer;
};
