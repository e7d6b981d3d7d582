// An OLE drop target registered for one window. During a drag the dropped object is seen
// through a COleDataObject, and every event reaches a virtual with the point in the
// window's client coordinates. Over: the scroll handler is asked first; when it does not
// scroll (DROPEFFECT_NONE), the drag-over handler decides. Drop: the effect the drag-over
// handler gives is offered to OnDrop, which takes the drop or refuses it.
#pragma once

#include "framework/OleDataObject.h"

#include <windows.h>
#include <ole2.h>

namespace fw {

class COleDropTarget : public IDropTarget {
public:
    COleDropTarget() = default;
    COleDropTarget(const COleDropTarget&) = delete;
    COleDropTarget& operator=(const COleDropTarget&) = delete;
    virtual ~COleDropTarget();

    bool Register(HWND hwnd);
    void Revoke();
    HWND GetWindow() const { return m_hwnd; }

    virtual DWORD OnDragEnter(HWND hwnd, COleDataObject* data, DWORD keyState, POINT point);
    virtual DWORD OnDragOver(HWND hwnd, COleDataObject* data, DWORD keyState, POINT point);
    virtual DWORD OnDragScroll(HWND hwnd, DWORD keyState, POINT point);
    virtual bool OnDrop(HWND hwnd, COleDataObject* data, DWORD effect, POINT point);
    virtual void OnDragLeave(HWND) {}

    // IDropTarget. The object lives as long as its owner; the reference count only
    // keeps OLE's calls balanced.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

private:
    POINT ToClient(POINTL point) const;
    HWND m_hwnd = nullptr;
    LONG m_refs = 1;
    COleDataObject m_data;
};

}  // namespace fw
