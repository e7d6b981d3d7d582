// A drop area of the toolbar: a small coloured window that paints its caption centred and
// takes drops. Dropped data goes to the document's drop capture, of all formats or of
// one the user chooses.
#pragma once

#include "framework/Handles.h"
#include "framework/OleDropTarget.h"
#include "framework/Window.h"

#include <string>

class CKaviloDoc;

// What a drop target asks of the window it serves.
class CDropTargetWnd {
public:
    virtual ~CDropTargetWnd() = default;
    virtual DWORD OnDragEnter(COleDataObject* data, DWORD keyState, POINT point) = 0;
    virtual DWORD OnDragOver(COleDataObject* data, DWORD keyState, POINT point) = 0;
    virtual DWORD OnDragScroll(DWORD keyState, POINT point) = 0;
    virtual bool OnDrop(COleDataObject* data, DWORD effect, POINT point) = 0;
};

// Forwards every drag event to its owner.
class CODT : public fw::COleDropTarget {
public:
    DWORD OnDragEnter(HWND hwnd, COleDataObject* data, DWORD keyState, POINT point) override;
    DWORD OnDragOver(HWND hwnd, COleDataObject* data, DWORD keyState, POINT point) override;
    DWORD OnDragScroll(HWND hwnd, DWORD keyState, POINT point) override;
    bool OnDrop(HWND hwnd, COleDataObject* data, DWORD effect, POINT point) override;

    CDropTargetWnd* m_owner = nullptr;
};

class CDropEntranceWnd : public fw::Window, public CDropTargetWnd {
public:
    static const fw::CRuntimeClass classCDropEntranceWnd;
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCDropEntranceWnd; }

    bool Create(HWND parent, UINT id, COLORREF background, const std::wstring& caption, bool chooseFormat);

    DWORD OnDragEnter(COleDataObject* data, DWORD keyState, POINT point) override;
    DWORD OnDragOver(COleDataObject* data, DWORD keyState, POINT point) override;
    DWORD OnDragScroll(DWORD keyState, POINT point) override;
    bool OnDrop(COleDataObject* data, DWORD effect, POINT point) override;

    IDropTarget* GetDropTarget() { return m_dropTarget.Get(); }
    const std::wstring& GetCaption() const { return m_caption; }
    bool ChoosesFormat() const { return m_chooseFormat; }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPaint();
    // The active view's document, the one drops go to; null when there is none.
    CKaviloDoc* GetDocument() const;

    COLORREF m_background = 0;
    std::wstring m_caption;
    bool m_chooseFormat = false;
    fw::UniqueFont m_font;
    fw::ComPtr<CODT> m_dropTarget;
};
